#include "base_time_limit.h"

#include <cmath>

namespace probelyn {

int BaseTimeLimit(int baud) {
    const double exact = (115200.0 - baud) / 2256.0 + 60.0;
    // nearbyint rounds in the default mode, to nearest with halves to even.
    const auto T = static_cast<int>(std::nearbyint(exact));
    return T < 60 ? 50 : T;
}

}  // namespace probelyn
