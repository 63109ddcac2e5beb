#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "protocol.h"

namespace probelyn {

// What one simulated instrument understands and answers, byte for byte.

// The result of looking at the start of the bytes received so far.
struct Parsed {
    enum Kind { NeedMore, Junk, Request } kind = NeedMore;
    std::size_t length = 0;  // bytes the request (or junk) takes
    int station = 0;
};

// Looks for a well-formed request of the protocol at the start of buffer.
// Junk means the first byte cannot start one and should be dropped.
Parsed ParseRequest(Protocol protocol, const std::string& buffer);

// The instrument's answer to a request addressed to it.
std::string ReplyFor(Protocol protocol, int station);

// Bytes a line at the wrong rate delivers: drawn from framing-error values,
// none of which can begin or complete a valid reply.
std::string Garbage(unsigned* seed);

// A few bytes of uniformly random value, as line noise at the right rate
// delivers them.
std::string RandomBytes(unsigned* seed);

}  // namespace probelyn
