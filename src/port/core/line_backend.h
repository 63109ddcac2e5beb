#pragma once

#include <chrono>
#include <cstddef>
#include <stop_token>
#include <string>

#include "line_settings.h"
#include "line_timing.h"

namespace probelyn {

// One kind of line, as every kind implements it: the system's own serial
// port, a serial line at a server on the network over RFC 2217, or one over
// raw TCP. The port component the engine drives (PortLine) sits on it; the
// operations are named as the port component names them. Every failure is a
// PortFailure. A backend lives for one line's whole run and is opened at
// each setting in turn.
class LineBackend {
  public:
    virtual ~LineBackend() = default;

    // Opens the line at the settings (again, after Close, at new ones), with
    // nothing received.
    virtual void Open(const LineSettings& settings) = 0;
    // Sets the open line to other settings of the same kind (to listen or
    // not as before), keeping it open: its lock, its modem lines and its
    // connection stay. Nothing received is kept.
    virtual void ChangeSettings(const LineSettings& settings) = 0;
    // Ends the setting. A line over the network keeps its connection for the
    // next Open; what arrives meanwhile is dropped there.
    virtual void Close() = 0;
    // The rate in bit/s the open line runs at, as its driver or its server
    // says; -1 where nobody says.
    virtual int AppliedRate() = 0;
    // Received bytes held for the line.
    virtual std::size_t InputCount() = 0;
    // Appends up to max of them to `into`, without waiting.
    virtual void Read(std::string& into, std::size_t max) = 0;
    // Hands every byte on for sending, without waiting for them to drain.
    virtual void Write(const std::string& bytes) = 0;
    // Drops the received bytes held, and those already on their way.
    virtual void DiscardInput() = 0;
    // Blocks until received bytes are held, the timeout has passed or a stop
    // is requested. True when bytes are held.
    virtual bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) = 0;
    virtual LineTiming Timing() const { return {}; }
};

}  // namespace probelyn
