#include <io.h>
#include <windows.h>

#include <atomic>
#include <csignal>

#include "end_watch.h"

// The console's control handler: Ctrl-C as SIGINT; Ctrl-Break, a closed
// console, a logoff or a shutdown as SIGTERM.
struct EndWatch::Watcher {
    static BOOL WINAPI OnControl(DWORD type) {
        if (ending == nullptr || seen.exchange(true)) {
            return FALSE;  // the second request: the default handling ends the program
        }
        ending->Signal(type == CTRL_C_EVENT ? SIGINT : SIGTERM);
        if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
            // The system ends the program when this returns: give the lines
            // the time it allows to close first; the program's end ends this.
            ::Sleep(4000);
        }
        return TRUE;
    }

    static inline Ending* ending = nullptr;
    static inline std::atomic<bool> seen{false};
};

EndWatch::EndWatch(Ending& ending) {
    Watcher::ending = &ending;
    ::SetConsoleCtrlHandler(&Watcher::OnControl, TRUE);
}

EndWatch::~EndWatch() {
    ::SetConsoleCtrlHandler(&Watcher::OnControl, FALSE);
    Watcher::ending = nullptr;
}

bool PrepareStandardStreams() {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    return out != nullptr && out != INVALID_HANDLE_VALUE;
}

bool ErrorIsTerminal() {
    return ::_isatty(_fileno(stderr)) != 0;
}
