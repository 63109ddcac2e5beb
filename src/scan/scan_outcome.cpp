#include "scan_outcome.h"

namespace probelyn {

std::string FoundText(const Find& find, const LineName& line) {
    return std::string(NamesOf(find.protocol).found) + " device on " + DisplayName(line) + " at " +
           std::to_string(find.baud) + " baudrate on station " + std::to_string(find.station);
}

}  // namespace probelyn
