#include "base_time_limit.h"

#include <cfenv>
#include <cmath>

int BaseTimeLimit(int baud) {
    const double exact = (115200.0 - baud) / 2256.0 + 60.0;
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const auto T = static_cast<int>(std::nearbyint(exact));
    std::fesetround(saved);
    return T < 60 ? 50 : T;
}
