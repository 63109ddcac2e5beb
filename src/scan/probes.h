#pragma once

#include "port_component.h"
#include "reply_wait.h"

namespace probelyn {

// The three probes: each sends its request with one Write and at once waits
// for and judges the reply, skipping an echo of the request. A failed Write is
// passed over (the wait then finds nothing); a failure inside the wait makes
// the probe false. No probe discards input: after a miss the scan does that.
class Probes {
  public:
    // The Modbus probe waits this much longer than the base time limit.
    static constexpr int kModbusExtraMs = 20;
    // How long the line must stay quiet before an ASCII match is confirmed:
    // three characters at the slowest rate scanned (10 bits each at 2400).
    static constexpr Clock::Duration kQuietBeforeConfirm = std::chrono::microseconds(12500);

    Probes(PortComponent& Prt, ReplyWait& wait) : Prt_(Prt), wait_(wait) {}

    bool ProbeAscii(int station, int T);
    bool ProbeModbus(int station, int T);
    bool ProbeLyraBus(int station, int T);
    // An ASCII reply names no station: a late reply meant for the station
    // before, or noise, can pass for one. After an ASCII match this lets the
    // rest of that reply come (the line quiet, for at most T), discards what
    // is waiting and asks the same station again: true when it answers again.
    bool ConfirmAscii(int station, int T);
    // The quiet that ends a reply on this line: kQuietBeforeConfirm, longer
    // where bytes come in segments.
    Clock::Duration QuietBeforeConfirm() const;

    // Sends a request with one Write; a failure is recorded, not passed on
    // (the wait that follows finds no reply).
    void Send(const std::string& request);

  private:
    PortComponent& Prt_;
    ReplyWait& wait_;
};

}  // namespace probelyn
