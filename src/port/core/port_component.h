#pragma once

#include <chrono>
#include <stop_token>
#include <string>

#include "line_settings.h"
#include "line_timing.h"

namespace probelyn {

// The serial-port component: the one narrow interface through which the
// program drives a serial line. The real line, the in-memory fake used for
// failure injection and the pty-backed tests all sit behind it.
//
// Every member may fail by throwing PortFailure, whose description is the
// system's own text. Byte strings hold one 8-bit value per char; every value
// 0..255 passes unchanged.
class PortComponent {
  public:
    virtual ~PortComponent() = default;

    // Opens the line with the settings, releasing any line held before.
    // Returns 1 or more when open.
    virtual int Open(const LineSettings& settings) = 0;
    // Closes the held line; returns 0 or less, which marks it closed.
    virtual int Close() = 0;

    // Received bytes waiting to be read.
    virtual int InputCount() = 0;
    // Takes up to max waiting bytes, oldest first; the rest stay waiting.
    virtual std::string Read(int max) = 0;
    // Hands the bytes to the line, in order, without waiting for them to drain.
    virtual void Write(const std::string& bytes) = 0;
    // Drops every received byte still waiting.
    virtual void DiscardInput() = 0;

    // Blocks until new bytes arrive, the timeout has passed or a stop is
    // requested through `stop`, so that a wait for a reply need not spin and
    // a stop need not wait for it. True when new bytes came.
    virtual bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) = 0;

    // What time on the open line costs beyond the wire; nothing for a line
    // of the system's own.
    virtual LineTiming Timing() const { return {}; }
};

}  // namespace probelyn
