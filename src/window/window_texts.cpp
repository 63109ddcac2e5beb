#include "window_texts.h"

namespace probelyn {

std::string TryingText(int baud, const std::string& line, int station) {
    return "Trying " + std::to_string(baud) + " baud on " + line + " for station number " +
           std::to_string(station) + "...";
}

std::string FoundStatus(const std::string& found) {
    return "Device Found: " + found;
}

std::string PortErrorText(int baud, const std::string& line, const std::string& reason) {
    return "Trying " + std::to_string(baud) + " baud on " + line +
           " caused the following error: " + reason;
}

}  // namespace probelyn
