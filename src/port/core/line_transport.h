#pragma once

#include <chrono>
#include <cstddef>
#include <stop_token>
#include <string>

#include "line_settings.h"
#include "line_timing.h"

namespace probelyn {

// One way of carrying a serial line: the system's own line, or a serial
// line at a server on the network. Every failure is a PortFailure. A
// transport lives for one line's whole run and is opened at each setting in
// turn.
class LineTransport {
  public:
    virtual ~LineTransport() = default;

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
    // The rate in bit/s the line runs at where its driver says so; -1
    // otherwise (a server's answer is judged as it opens).
    virtual int AppliedRate() = 0;
    // Received bytes held for the line.
    virtual std::size_t Queued() = 0;
    // Appends up to max of them to `into`, without waiting.
    virtual void ReadInto(std::string& into, std::size_t max) = 0;
    // Hands every byte on for sending, without waiting for them to drain.
    virtual void Write(const std::string& bytes) = 0;
    // Drops the received bytes held, and those already on their way.
    virtual void DiscardInput() = 0;
    // Blocks until received bytes are held, the timeout has passed or a stop
    // is requested. True when bytes are held.
    virtual bool AwaitInput(std::chrono::nanoseconds timeout, std::stop_token stop) = 0;
    virtual LineTiming Timing() const { return {}; }
};

}  // namespace probelyn
