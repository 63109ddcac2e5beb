#pragma once

#include <memory>

#include "ending.h"

// Every way the scan is ended from outside, each told to the ending as it
// comes: an end signal (SIGINT, SIGTERM, SIGHUP; on Windows Ctrl-C, Ctrl-Break
// and a closed console) and, on POSIX, the reader of standard output going
// away (a pipe whose reader exited). A second end signal ends the program at
// once; a write to a pipe without a reader fails with EPIPE instead of
// ending the program (see PrepareStandardStreams). One implementation file per
// platform.
class EndWatch {
  public:
    explicit EndWatch(Ending& ending);
    ~EndWatch();
    EndWatch(const EndWatch&) = delete;
    EndWatch& operator=(const EndWatch&) = delete;

  private:
    struct Watcher;
    std::unique_ptr<Watcher> watcher_;
};

// Whether standard output and standard error are open. When one is closed,
// the first file the program opened would take its place and receive what is
// meant for it; the program says so (on standard error, if that is open) and
// ends before opening anything. From here on a write to a pipe without a
// reader fails with EPIPE, which the program answers as a pipeline member
// does, instead of ending the program before it has closed its lines.
bool PrepareStandardStreams();

// Whether standard error is a terminal, where progress may be drawn.
bool ErrorIsTerminal();
