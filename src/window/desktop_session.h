#pragma once

#include <optional>
#include <string>

// Why the program cannot show its window here, checked before Qt, which would
// abort with its own message: on Linux and other X11 or Wayland systems, no
// desktop session to show it in. Nothing when it can.
std::optional<std::string> MissingDesktopSession();
