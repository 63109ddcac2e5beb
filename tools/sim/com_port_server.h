#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "framing.h"

namespace probelyn {

// The server's side of a Telnet connection that carries a serial line (the
// COM port option, RFC 2217), as bytes in and bytes out: what a device
// server does with what its client sends. BINARY and SUPPRESS-GO-AHEAD both
// ways and the COM port option are agreed to, every other option refused;
// each setting asked for is taken and answered with the value set, a query
// (value 0) with the value in force.
class ComPortServer {
  public:
    // The longest subnegotiation taken; the rest of a longer one is dropped.
    static constexpr std::size_t kMaxSubnegotiation = 64;

    // Takes bytes from the client: its data is appended to `data`; returns
    // what goes back to it.
    std::string Take(std::string_view received, std::string& data);

    // The rate and framing the client set the line to (9600 8N1 until it
    // sets them); whether its data size is 8 bits.
    int Baud() const { return baud_; }
    Framing LineFraming() const;
    bool EightBits() const { return dataSize_ == 8; }
    // How many purges the client asked for.
    int Purges() const { return purges_; }

    // Whether purges are answered; a server that ignores them leaves them so.
    bool answerPurges = true;

  private:
    enum class State { Data, Command, Option, Sub, SubCommand };

    void TakeByte(std::uint8_t byte, std::string& data, std::string& reply);
    void Negotiate(std::uint8_t verb, std::uint8_t option, std::string& reply);
    // A command of the COM port option; its answer, if any.
    std::string Setting(std::uint8_t command, std::uint32_t value);

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::string sub_;
    std::array<bool, 256> ours_{};    // options enabled on this side
    std::array<bool, 256> theirs_{};  // on the client's side
    int baud_ = 9600;
    int dataSize_ = 8;
    std::uint32_t parity_ = 1;  // none, odd, even, as the option numbers them
    std::uint32_t stopSize_ = 1;
    int purges_ = 0;
};

}  // namespace probelyn
