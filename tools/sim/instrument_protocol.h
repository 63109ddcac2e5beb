#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "protocol.h"

namespace probelyn {

// What one simulated instrument understands and answers, byte for byte.

// The result of looking at the start of the bytes received so far.
struct Parsed {
    enum Kind { NeedMore, Junk, Request } kind = NeedMore;
    std::size_t length = 0;  // bytes the request (or junk) takes
    int station = 0;
    int object = -1;  // Modbus: the first object of an identification request
};

// Looks for a well-formed request of the protocol at the start of buffer.
// Junk means the first byte cannot start one and should be dropped.
Parsed ParseRequest(Protocol protocol, const std::string& buffer);

// The instrument's answer to a request addressed to it.
std::string ReplyFor(Protocol protocol, int station);

// Modbus frames, each with its CRC: the reply to the probe with register 60
// holding `value`; an exception to the function.
std::string ModbusRegisterReply(int station, int value);
std::string ModbusException(int station, int function, int code);

// How a simulated instrument answers a request for its identification: each
// faulty way an untrusted one may.
enum class IdentityFault {
    None,
    Overlong,  // an object said longer than any frame
    Endless,   // "more follows" for ever
    BadCrc,
};
// The reply to a request for the basic identification objects from
// `object` on, given `values` (vendor, product code, revision).
std::string IdentificationAnswer(int station, int object, const std::vector<std::string>& values,
                                 IdentityFault fault);

// Bytes a line at the wrong rate delivers: drawn from framing-error values,
// none of which can begin or complete a valid reply.
std::string Garbage(unsigned* seed);

// A few bytes of uniformly random value, as line noise at the right rate
// delivers them.
std::string RandomBytes(unsigned* seed);

}  // namespace probelyn
