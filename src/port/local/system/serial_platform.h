#pragma once

#include <string>

namespace probelyn {

// Why this user may not read and write the device (outside the dialout
// group, say), for people: see NoAccessText. Empty when the user may, and on
// systems without device permissions. One implementation file per platform.
std::string DeviceAccessRefusal(const std::string& device);

}  // namespace probelyn
