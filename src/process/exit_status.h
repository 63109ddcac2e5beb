#pragma once

namespace probelyn {

// The exit statuses the manual pages list, for both programs.
enum class ExitStatus {
    // probelyn-scan: an instrument was found (or traffic heard); the window:
    // it was closed, or the program was asked to end.
    Success = 0,
    // probelyn-scan: nothing was found; the window: no serial line opened.
    NothingFound = 1,
    // probelyn-scan: a usage error, no line could be opened, a line's run
    // could not finish, or a result could not be written; the window: no
    // desktop session to show it in.
    Trouble = 2,
    // probelyn-scan: the reader of standard output went away (128 + SIGPIPE).
    ReaderGone = 141,
};

constexpr int Code(ExitStatus status) {
    return static_cast<int>(status);
}

// probelyn-scan, ended by an end request: 128 + the signal (on Windows Ctrl-C
// counts as SIGINT, every other request as SIGTERM).
constexpr int SignalStatus(int signal) {
    return 128 + signal;
}

}  // namespace probelyn
