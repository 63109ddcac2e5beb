#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <stop_token>
#include <string>

#include "port_component.h"

namespace probelyn {

// The operating system's side of one open serial line: what SerialLine needs
// of the system, no more. One implementation file per platform. Every
// failure is a PortFailure whose kind the system's error code is mapped to,
// once, here, and whose text is the system's.
class OsLine {
  public:
    // Opens the device for this program alone, raw (8 data bits, the
    // framing's parity and stop bits, no flow control, every byte value
    // passed unchanged; a byte received with a framing error dropped), at the
    // settings' rate, with DTR and RTS raised and whatever the device had
    // received before discarded. To listen: DTR and RTS lowered, errors
    // marked as a POSIX tty marks them (see LineSettings).
    OsLine(const std::string& device, const LineSettings& settings);
    // Gives the device back the settings it had and closes it.
    ~OsLine();
    OsLine(const OsLine&) = delete;
    OsLine& operator=(const OsLine&) = delete;

    // Sets the open line to other settings, to listen or not as it opened;
    // what it had received is discarded.
    void ChangeSettings(const LineSettings& settings);
    // The rate in bit/s the driver runs the line at; -1 when it cannot tell.
    int AppliedRate() const;
    // Received bytes the system holds for the line.
    std::size_t Queued();
    // Appends up to max of them to `into`, without waiting.
    void ReadInto(std::string& into, std::size_t max);
    // Hands every byte to the system for sending, without waiting for them
    // to drain.
    void Write(const std::string& bytes);
    // Drops the received bytes the system holds.
    void DiscardInput();
    // Blocks until received bytes are held, the timeout has passed or a stop
    // is requested through `stop`. True when bytes are held.
    bool AwaitInput(std::chrono::nanoseconds timeout, std::stop_token stop);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace probelyn
