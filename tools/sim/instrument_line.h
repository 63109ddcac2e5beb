#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framing.h"

namespace probelyn {

// The instrument's side of whatever carries its line: a pseudo-terminal the
// program opens as a serial device, or a device server of the simulator's
// own the program reaches over TCP. The line tells the rate and framing the
// program set, so that the instrument answers only at its own.
class InstrumentLine {
  public:
    virtual ~InstrumentLine() = default;

    // What the program opens: a device path, or the server's name
    // (rfc2217://127.0.0.1:PORT).
    virtual const std::string& Name() const = 0;
    // Places a symlink to the line's device at path (a pty only).
    virtual void LinkAt(const std::string& path) = 0;
    // The descriptors that become readable when the program sends.
    virtual std::vector<int> Descriptors() const = 0;
    // What the program sent since the last call, without waiting.
    virtual std::string Receive() = 0;
    // The rate the program set the line to; whether it set this framing.
    virtual int Rate() const = 0;
    virtual bool FramedAs(const Framing& framing) const = 0;
    // Hands the bytes to the program.
    virtual void Send(const std::string& bytes) = 0;
    // Hands over what the program takes now; the rest is lost, as on a wire.
    virtual void Offer(const std::string& bytes) = 0;
    // The line disappears, as a pulled adapter or a server switched off.
    virtual void Vanish() = 0;
};

// A pseudo-terminal (see PtyLine).
std::unique_ptr<InstrumentLine> PtyInstrumentLine();

// A device server of the simulator's own on a numeric address:
// rfc2217://HOST:PORT sets rate and framing as the program asks (RFC 2217),
// tcp://HOST:PORT carries bytes only, at the instrument's own setting. Port
// 0 takes a free one, which Name() then gives. One program at a time: a new
// connection replaces the one before. Throws std::runtime_error when the
// name is not one of these or the address cannot be served.
struct ServeOptions {
    std::string name;
    int baud = 9600;  // what a raw line runs at
    Framing framing;  // likewise
    bool answerPurges = true;
};
std::unique_ptr<InstrumentLine> ServedInstrumentLine(const ServeOptions& options);

}  // namespace probelyn
