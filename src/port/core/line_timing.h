#pragma once

#include <chrono>

namespace probelyn {

// What time on a line costs beyond the wire. Lines over the network carry
// each request and reply across it, and hand bytes over in segments.
struct LineTiming {
    bool network = false;
    std::chrono::nanoseconds roundTrip{0};  // measured when the line opened
    int replyMarginMs = 0;                  // added to every reply window
    // The shortest quiet between bytes that may be taken for the end of a
    // reply or a frame: segments come with gaps inside one.
    std::chrono::nanoseconds quietFloor{0};
};

}  // namespace probelyn
