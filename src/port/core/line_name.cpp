#include "line_name.h"

#include <filesystem>

namespace probelyn {

std::string DisplayName(const LineName& line) {
    if (!line.com) {
        return line.device;
    }
    const std::string com = "COM" + std::to_string(*line.com);
    if (line.device.empty() || line.device == com) {
        return com;
    }
    return com + " (" + line.device + ")";
}

std::string ResolvedDevice(const std::string& path) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    return error ? path : target.string();
}

}  // namespace probelyn
