#include "line_name.h"

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
