#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace probelyn {

// The commands of the Telnet COM port option (RFC 2217), as the client sends
// them; the server answers each with its code plus 100.
enum class ComCommand : std::uint8_t {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    SetLineStateMask = 10,
    PurgeData = 12,
};

// Values of the commands this client sends.
namespace com_value {
inline constexpr std::uint32_t kParityNone = 1, kParityOdd = 2, kParityEven = 3;
inline constexpr std::uint32_t kNoFlowControl = 1, kDtrOn = 8, kDtrOff = 9, kRtsOn = 11,
                               kRtsOff = 12;
inline constexpr std::uint32_t kPurgeReceived = 1;
// Line-state bits: parity error, framing error, break.
inline constexpr std::uint32_t kErrorStates = 0x04 | 0x08 | 0x10;
}  // namespace com_value

// The client's side of a Telnet connection that carries a serial line, as
// bytes in and bytes out, with no system calls: the transcript of a session
// is all it sees.
//
// Negotiation: BINARY both ways, SUPPRESS-GO-AHEAD both ways and the COM
// port option from this side are asked for at once; every other option is
// refused. Only a request that would change an option's state is answered,
// so two sides never loop (RFC 1143). Every command and subnegotiation is
// taken out of the data, and a 0xFF is doubled wherever it stands for itself,
// in data and inside values alike.
class ComPortCodec {
  public:
    // The longest subnegotiation taken; a longer one is a fault of the server.
    static constexpr std::size_t kMaxSubnegotiation = 64;

    // What the client sends first.
    std::string Greeting();

    // Takes bytes from the server: the data in them is appended to `data`
    // (marked, see error_marks.h, once MarkErrors is on); returns what must
    // go back to the server. Throws PortFailure for a subnegotiation that
    // never ends.
    std::string Take(std::string_view received, std::string& data);

    // The bytes of one command with its value (four bytes for the rate, one
    // otherwise); its answer is awaited from now on. With dropData, data
    // that comes before the answer is dropped: it was on its way before.
    std::string Ask(ComCommand command, std::uint32_t value, bool dropData = false);
    // Whether an answer to the command is still to come, and the last one.
    bool Awaiting(ComCommand command) const;
    std::optional<std::uint32_t> Answer(ComCommand command) const;
    // Keeps data again without waiting for the answers dropping asked for.
    void StopDropping();

    // Whether the options a serial line needs are agreed: BINARY both ways
    // and the COM port option.
    bool Ready() const;
    // Why the server cannot carry the line, once it has refused an option
    // that cannot be done without; empty until then.
    const std::string& Refusal() const { return refusal_; }

    // Listening: each line-state report of a parity or framing error or a
    // break becomes the mark of an errored character, before what follows.
    void MarkErrors(bool on) { markErrors_ = on; }

    // Data as it goes to the server: each 0xFF doubled.
    static std::string Escaped(std::string_view data);

  private:
    enum class State { Data, Command, Option, Sub, SubCommand };
    struct Option {
        bool enabled = false;
        bool asked = false;  // our request is on its way
    };

    void TakeByte(std::uint8_t byte, std::string& data, std::string& reply);
    void Negotiate(std::uint8_t verb, std::uint8_t option, std::string& reply);
    // DO or DONT from the server: about our side of the option.
    void OurSide(bool wanted, std::uint8_t option, std::string& reply);
    // WILL or WONT from the server: about its side.
    void TheirSide(bool wanted, std::uint8_t option, std::string& reply);
    void AddToSubnegotiation(std::uint8_t byte);
    void Subnegotiation(std::string& data);
    void AddData(char byte, std::string& data) const;

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::string sub_;
    std::array<Option, 256> ours_{};
    std::array<Option, 256> theirs_{};
    std::array<int, 256> awaited_{};
    std::array<std::optional<std::uint32_t>, 256> answers_{};
    std::array<int, 256> dropping_{};
    int droppingTotal_ = 0;
    bool markErrors_ = false;
    std::string refusal_;
};

}  // namespace probelyn
