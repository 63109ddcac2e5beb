#include <io.h>
#include <windows.h>

#include <cstdio>

#include "standard_streams.h"

namespace probelyn {

StandardStreams PrepareStandardStreams() {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    return out != nullptr && out != INVALID_HANDLE_VALUE ? StandardStreams::Open
                                                         : StandardStreams::OutputClosed;
}

bool ErrorIsTerminal() {
    return ::_isatty(_fileno(stderr)) != 0;
}

// Windows cannot tell that a pipe's reader has gone before a write fails.
struct OutputReaderWatch::Watch {};

OutputReaderWatch::OutputReaderWatch(std::function<void()>) : watch_(std::make_unique<Watch>()) {}

OutputReaderWatch::~OutputReaderWatch() = default;

}  // namespace probelyn
