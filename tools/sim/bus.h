#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "port_component.h"
#include "protocol.h"

namespace probelyn {

// A serial bus as a UART receives it: characters laid on a wire as bits at
// the bus's rate and framing, taken off again by a receiver at a setting of
// its own, and handed to a program as the tty layer would. Times are in
// nanoseconds.

// How characters are framed and timed, on a wire or in a receiver.
struct BusSetting {
    int baud = 9600;
    Framing framing;
};

// What a program asked of the tty layer about characters received with an
// error (termios c_iflag): mark them (PARMRK), check parity (INPCK), drop
// them (IGNPAR).
struct TtyInput {
    bool markErrors = false;
    bool checkParity = false;
    bool ignoreErrors = false;
};

// A character as a receiver took it off the wire.
struct RxChar {
    unsigned char value = 0;
    bool framingError = false;  // the stop bit was low
    bool parityError = false;
    // All zeros, stop bit included: the line was held low.
    bool Break() const { return value == 0 && framingError; }

    friend bool operator==(const RxChar&, const RxChar&) = default;
};

// The line's level over time, idle (high) where nothing was sent.
class Wire {
  public:
    // Lays the byte on the wire from `at`: a start bit, 8 data bits (least
    // significant first), the parity bit if any, the stop bits. Returns when
    // the last stop bit ends.
    std::int64_t Send(unsigned char byte, std::int64_t at, const BusSetting& bus);
    // Lays the bytes one after the other, without idle time between them.
    std::int64_t Send(const std::string& bytes, std::int64_t at, const BusSetting& bus);
    bool HighAt(std::int64_t t) const;
    // The first change from high to low after t; -1 when there is none.
    std::int64_t FallingEdgeAfter(std::int64_t t) const;
    // Forgets what lies before t (it has been received).
    void DropBefore(std::int64_t t);

  private:
    std::vector<std::pair<std::int64_t, std::int64_t>> lows_;  // [start, end) of each low stretch
    void Low(std::int64_t from, std::int64_t to);
};

// A UART at `receiver`: from each falling edge after the last stop-bit
// sample, the start bit checked at half a bit (high there: a glitch, looked
// past), the data bits sampled mid-bit, then the parity bit if the receiver
// expects one, then the stop bit (low: a framing error). Only characters
// whose stop bit is sampled before `until` are taken; `from` moves past them.
std::vector<RxChar> Receive(const Wire& wire, const BusSetting& receiver, std::int64_t& from,
                            std::int64_t until);

// What the tty layer hands the program for the characters: an errored one as
// 0377 0 c with marks, nothing when ignored, a NUL otherwise (and as itself
// when parity is not checked); a break as 0377 0 0 or NUL; a real 0377 as
// 0377 0377 with marks.
std::string Deliver(const std::vector<RxChar>& chars, const TtyInput& input);

// What a pseudo-terminal can carry of the characters: its line discipline
// doubles every 0377 written to it itself and cannot mark errors, so an
// errored character is dropped where the program asked for marks or for
// errors to be ignored, and is a NUL otherwise.
std::string OverPty(const std::vector<RxChar>& chars, const TtyInput& input);

// One frame on the bus: its bytes, and when its first bit starts.
struct BusFrame {
    std::int64_t at = 0;
    std::string bytes;
};

// A Modbus master's request of the function (1 to 6, 15 or 16) to the
// station, and the station's reply; function 3 asks what the probe asks.
struct ModbusExchange {
    std::string request;
    std::string reply;
};
ModbusExchange ModbusPoll(int function, int station);

// A master polling the stations in turn with the protocol's request (Modbus's
// of the function given), one every `pollNs`, and the answering stations
// replying `replyDelayNs` after the request's last bit: the frames of one
// round, from `at`.
std::vector<BusFrame> PollRound(Protocol protocol, const std::vector<int>& polled,
                                const std::vector<int>& answering, const BusSetting& bus,
                                std::int64_t at, std::int64_t pollNs, std::int64_t replyDelayNs,
                                int modbusFunction = 3);

// How long a character takes on the wire.
std::int64_t CharacterNs(const BusSetting& bus);

}  // namespace probelyn
