#include "scan_plan.h"

#include <cstdint>

namespace probelyn {

ScanPlan ExtendedPlan(const ScanPlan& plan) {
    ScanPlan extended = plan;
    // Stations above 255 fit only the ASCII probe's three-digit field.
    extended.protocols = {Protocol::Ascii};
    extended.firstStation = kHighestStation + 1;
    extended.lastStation = kHighestAsciiStation;
    return extended;
}

int StationTotal(const ScanPlan& plan, StationCount count) {
    const int settings =
        static_cast<int>(plan.rates.size()) * static_cast<int>(plan.framings.size());
    if (count == StationCount::Exact) {
        return (plan.lastStation - plan.firstStation + 1) * settings;
    }
    return static_cast<std::int16_t>((plan.lastStation - plan.firstStation) * settings);
}

}  // namespace probelyn
