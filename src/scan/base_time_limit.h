#pragma once

namespace probelyn {

// The base time limit T in milliseconds that a probe waits for a reply at a
// baud rate: (115200 - baud) / 2256 + 60, rounded half to even; a value below
// 60 becomes 50. Slow rates get longer, the two rates above 115200 the floor.
int BaseTimeLimit(int baud);

}  // namespace probelyn
