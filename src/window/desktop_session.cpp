#include "desktop_session.h"

#include <QtGlobal>

std::optional<std::string> MissingDesktopSession() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // A platform chosen by hand (offscreen, vnc, ...) needs no session.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return "no desktop session to show the window in (neither DISPLAY nor WAYLAND_DISPLAY "
               "is set); start Probelyn from a desktop";
    }
#endif
    return std::nullopt;
}
