#pragma once

#include <optional>
#include <stop_token>
#include <vector>

#include "clock.h"
#include "port_access.h"
#include "traffic.h"

// What to listen for, at which settings, how long at each.
struct ListenPlan {
    LineName line;
    std::vector<Protocol> protocols{Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus};
    std::vector<int> rates;
    std::vector<Framing> framings;
    // How long each setting is listened to; once traffic is identified, as
    // long again at that setting, so that every station polled is heard.
    Clock::Duration dwell = std::chrono::milliseconds(1000);
};

// The setting at which a line's traffic was identified, and what was heard:
// one entry per protocol identified there, most frames first.
struct Hearing {
    int baud = 0;
    Framing framing;
    std::vector<Heard> heard;
    // The plan's other framings at that rate, not tried, which might decode
    // the same bytes: named only when the line marked no error at any
    // setting (many USB adapters report none).
    std::vector<Framing> notExcluded;
};

// What a listen tells its front end on the way.
class ListenSteps {
  public:
    virtual ~ListenSteps() = default;
    // The setting about to be listened to, the index-th of total.
    virtual void Listening(const LineSettings& settings, int index, int total) = 0;
    // The line did not open at the setting, or failed there.
    virtual void Failed(const LineSettings& settings, const ErrorRecord& error) = 0;
};

// Listens to one line at each of the plan's rates and, at each rate, each of
// its framings, never writing a byte: the line opens to listen (see
// LineSettings). A setting at which errors are marked and no frame decodes is
// left at once. Ends at the first setting where traffic is identified, or
// after the last; a stop ends it at once.
std::optional<Hearing> Listen(PortAccess& access, Clock& clock, const ListenPlan& plan,
                              ListenSteps& steps, std::stop_token stop);
