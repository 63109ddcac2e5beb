#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace probelyn {

// A line as people know it: the device they gave, and its COM number where
// the numbering gives one. A line named by its COM number alone is the device
// the numbering gives that number.
struct LineName {
    std::optional<int> com;
    std::string device;

    friend bool operator==(const LineName&, const LineName&) = default;
};

// The one way every message names a line: "COM3 (/dev/ttyACM0)" where both
// are known and differ, "COM3" for a line named by its number (or whose
// device is COM3, as on Windows), the device alone where no number is given.
std::string DisplayName(const LineName& line);

// The device a path leads to, links followed; the path itself when it leads
// nowhere. One device given under two names resolves to one.
std::string ResolvedDevice(const std::string& path);

// For test failures: the name as messages give it.
inline void PrintTo(const LineName& line, std::ostream* out) {
    *out << DisplayName(line);
}

}  // namespace probelyn
