#include <windows.h>

#include <atomic>
#include <csignal>

#include "end_signals.h"

// The console's control handler: Ctrl-C as SIGINT, Ctrl-Break and a closed
// console as SIGTERM.
struct EndSignals::Watcher {
    static BOOL WINAPI OnControl(DWORD type) {
        const int signal = type == CTRL_C_EVENT ? SIGINT : SIGTERM;
        int none = 0;
        if (!received.compare_exchange_strong(none, signal)) {
            return FALSE;  // the second request: the default handling ends the program
        }
        stop->request_stop();
        return TRUE;
    }

    static inline std::stop_source* stop = nullptr;
    static inline std::atomic<int> received{0};
};

EndSignals::EndSignals(std::stop_source& stop) {
    Watcher::stop = &stop;
    SetConsoleCtrlHandler(&Watcher::OnControl, TRUE);
}

EndSignals::~EndSignals() {
    SetConsoleCtrlHandler(&Watcher::OnControl, FALSE);
}

int EndSignals::Received() const {
    return Watcher::received;
}
