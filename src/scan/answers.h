#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "protocol.h"
#include "sweep.h"

namespace probelyn {

// What a reply to a probe is when the probe's rule did not take it for a
// find: a Modbus exception from the station asked, a whole Modbus reply
// from it that fails the rule, or bytes that make no valid reply. The
// verdict stays the rule's; this only says what answered.
struct Classified {
    enum class Kind { Exception, OtherReply, NoValidReply };
    Kind kind = Kind::NoValidReply;
    int exception = 0;              // Exception: its code
    int byteCount = 0;              // OtherReply: the bytes its registers take
    std::optional<int> register60;  // OtherReply: where the reply holds it
};

// The bytes of the frame the reply begins, as far as its first bytes tell:
// 5 for a Modbus exception, 5 and the byte count for a Modbus reply of
// function 3, an ASCII text up to its carriage return; otherwise what came.
// A frame is never longer than kLongestFrame.
inline constexpr std::size_t kLongestFrame = 256;
std::size_t FrameLength(Protocol protocol, const std::string& reply);

// What the reply to the protocol's probe of the station is, the probe's rule
// not taken; nothing for silence.
std::optional<Classified> Classify(Protocol protocol, int station, const std::string& reply);

// Modbus exceptions 10 and 11: a gateway's word that no device answered
// behind it.
bool IsGatewayException(int code);

// What a run tells its front end of what answered at a setting without
// being a find: each Modbus device of another kind at once; at the end of
// the setting, the stations a gateway answered for with no device behind
// it, how many probes got bytes that made no valid reply, and how many
// answers were not said (see AnswerTally).
struct Answered {
    enum class Kind { Exception, OtherReply, Gateway, NoValidReply, Unsaid };
    Kind kind = Kind::Exception;
    Protocol protocol = Protocol::Modbus;
    Setting setting;
    int station = 0;    // Exception, OtherReply
    Classified reply;   // Exception, OtherReply; Gateway: its exception
    Stations stations;  // Gateway
    int count = 0;      // NoValidReply: probes; Unsaid: answers
};

// The answers of one run, bounded however much a line babbles. At each
// setting a few Modbus devices of another kind are told at once and the
// rest counted; a gateway and the bytes that made no valid reply are
// gathered while the line is at the setting and told when it leaves it,
// once a setting, however often a sweep comes back to it.
class AnswerTally {
  public:
    // Modbus devices of another kind told at once, at each setting.
    static constexpr int kToldAtOnce = 8;

    // Takes one reply at the setting the line is at; what to tell at once,
    // if anything.
    std::optional<Answered> Take(const Setting& setting, Protocol protocol, int station,
                                 const Classified& reply);
    // The line leaves the setting: what is left to tell.
    std::vector<Answered> Leave(const Setting& setting);

  private:
    // What was told at a setting so far.
    struct Told {
        Setting setting;
        int devices = 0;
        bool gateway = false;
        bool noValid = false;
    };
    Told& At(const Setting& setting);

    std::vector<Told> told_;  // one for each setting the run has been at
    Stations gateway_;        // while at the setting
    int gatewayCode_ = 0;
    int noValid_ = 0;
    int unsaid_ = 0;
};

}  // namespace probelyn
