#pragma once

#include <functional>
#include <memory>

namespace probelyn {

// Whether standard output and standard error are open. When one is closed,
// the first file the program opened would take its place and receive what is
// meant for it, so a program that writes there ends before opening anything.
// From here on a write to a pipe without a reader fails with EPIPE, which the
// program answers as a pipeline member does, instead of being ended before it
// has closed its lines.
enum class StandardStreams { Open, ErrorClosed, OutputClosed };
StandardStreams PrepareStandardStreams();

// Whether standard error is a terminal, where progress may be drawn.
bool ErrorIsTerminal();

// Watches the reader of standard output where it is a pipe or a socket, and
// tells `onGone` once, from a thread of the watch's own, when that reader has
// gone away. Where the system cannot tell (Windows), a failed write tells.
class OutputReaderWatch {
  public:
    explicit OutputReaderWatch(std::function<void()> onGone);
    ~OutputReaderWatch();
    OutputReaderWatch(const OutputReaderWatch&) = delete;
    OutputReaderWatch& operator=(const OutputReaderWatch&) = delete;

  private:
    struct Watch;
    std::unique_ptr<Watch> watch_;
};

}  // namespace probelyn
