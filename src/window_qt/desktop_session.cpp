#include "desktop_session.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace probelyn {

namespace {

constexpr char kNoSession[] = "no desktop session to show the window in";
constexpr char kAdvice[] = "start Probelyn from a desktop";

std::vector<QString> heldMessages;

void HoldOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "probelyn: %s\n", UnreachableDesktopSession().c_str());
        std::_Exit(2);
    }
    heldMessages.push_back(qFormatLogMessage(type, context, message));
}

}  // namespace

std::optional<std::string> MissingDesktopSession() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // A platform chosen by hand (offscreen, vnc, ...) needs no session.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return std::string(kNoSession) + " (neither DISPLAY nor WAYLAND_DISPLAY is set); " +
               kAdvice;
    }
#endif
    return std::nullopt;
}

std::string UnreachableDesktopSession() {
    const QString display = qEnvironmentVariable("DISPLAY");
    const std::string why =
        display.isEmpty() ? "no display server could be reached"
                          : "DISPLAY=" + display.toStdString() + " leads to no display server";
    return std::string(kNoSession) + " (" + why + "); " + kAdvice;
}

DesktopStartGuard::DesktopStartGuard() {
    qInstallMessageHandler(&HoldOrEnd);
}

DesktopStartGuard::~DesktopStartGuard() {
    qInstallMessageHandler(nullptr);
    for (const QString& message : heldMessages) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
    heldMessages.clear();
}

}  // namespace probelyn
