#pragma once

#include <optional>
#include <string>

namespace probelyn {

// Why the program cannot show its window here, checked before Qt, which would
// abort with its own message: on Linux and other X11 or Wayland systems, no
// desktop session to show it in. Nothing when it can.
std::optional<std::string> MissingDesktopSession();

// The same news when a desktop session is named (DISPLAY, say) but Qt could
// not reach it.
std::string UnreachableDesktopSession();

// Holds Qt's messages while the application object is made. Should that fail
// (a display that is set but has no server), Qt would abort with several
// lines; this prints UnreachableDesktopSession() alone and ends the program
// with status 2 instead. Otherwise the held messages are printed when the
// guard ends.
class DesktopStartGuard {
  public:
    DesktopStartGuard();
    ~DesktopStartGuard();
    DesktopStartGuard(const DesktopStartGuard&) = delete;
    DesktopStartGuard& operator=(const DesktopStartGuard&) = delete;
};

}  // namespace probelyn
