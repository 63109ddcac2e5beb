#pragma once

#include <cstdio>
#include <mutex>
#include <stop_token>
#include <string>

namespace probelyn {

// Why a scan ends before its time: an end signal, the reader of the results
// gone (a pipe's reader that exited), or a result that could not be written.
// The first reason decides the exit status and stops every line; later ones
// change nothing and say nothing.
class Ending {
  public:
    enum class Cause { None, Signal, ReaderGone, WriteFailed };

    Ending(std::stop_source& stop, std::FILE* err) : stop_(stop), err_(err) {}

    void Signal(int signal);
    void ReaderGone();
    // A write of `what` ("the results", "the trace t.jsonl") failed with the
    // errno `error`: EPIPE is the reader gone; anything else is said on
    // stderr, once, unless the scan already ends for another reason.
    void WriteFailed(const std::string& what, int error);

    Cause Why() const;
    // The exit status: 128 + the signal, 141 for the reader gone, 2 for a
    // failed write, otherwise `normal`.
    int Status(int normal) const;

  private:
    // Records the first cause and stops the scan; false when one came before.
    bool First(Cause cause, int signal);

    std::stop_source& stop_;
    std::FILE* err_;
    mutable std::mutex mutex_;
    Cause cause_ = Cause::None;
    int signal_ = 0;
};

}  // namespace probelyn
