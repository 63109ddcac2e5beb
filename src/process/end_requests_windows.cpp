#include <windows.h>

#include <atomic>
#include <csignal>

#include "end_requests.h"

namespace probelyn {

// The console's control handler: Ctrl-C as SIGINT; Ctrl-Break, a closed
// console, a logoff or a shutdown as SIGTERM. The system calls it in a thread
// of its own.
struct EndRequests::Watch {
    static BOOL WINAPI OnControl(DWORD type) {
        if (watch == nullptr || seen.exchange(true)) {
            return FALSE;  // the second request: the default handling ends the program
        }
        watch->onRequest_(type == CTRL_C_EVENT ? SIGINT : SIGTERM);
        if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
            // The system ends the program when this returns: give the lines
            // the time it allows to close first; the program's end ends this.
            ::Sleep(4000);
        }
        return TRUE;
    }

    std::function<void(int)> onRequest_;
    static inline Watch* watch = nullptr;
    static inline std::atomic<bool> seen{false};
};

EndRequests::EndRequests(std::function<void(int signal)> onRequest)
    : watch_(std::make_unique<Watch>(Watch{std::move(onRequest)})) {
    Watch::watch = watch_.get();
    ::SetConsoleCtrlHandler(&Watch::OnControl, TRUE);
}

EndRequests::~EndRequests() {
    ::SetConsoleCtrlHandler(&Watch::OnControl, FALSE);
    Watch::watch = nullptr;
}

}  // namespace probelyn
