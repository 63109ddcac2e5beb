#include "probes.h"

#include <algorithm>

#include "port_failure.h"
#include "probe_frames.h"

namespace probelyn {

void Probes::Send(const std::string& request) {
    try {
        Prt_.Write(request);
    } catch (const PortFailure& failure) {
        wait_.Record(failure);  // not reported: the wait that follows finds no reply
    }
}

bool Probes::ProbeAscii(int station, int T) {
    const std::string request = AsciiRequest(station);
    Send(request);
    return wait_.LookFor(AsciiReplyStart(), T, request);
}

bool Probes::ConfirmAscii(int station, int T) {
    // The match judged only the reply's start; the rest of it may still be
    // coming a byte at a time, and must go with the discard.
    wait_.AwaitQuiet(QuietBeforeConfirm(), T);
    Prt_.DiscardInput();
    return ProbeAscii(station, T);
}

Clock::Duration Probes::QuietBeforeConfirm() const {
    return std::max<Clock::Duration>(kQuietBeforeConfirm, Prt_.Timing().quietFloor);
}

bool Probes::ProbeModbus(int station, int T) {
    const std::string request = ModbusRequest(station);
    Send(request);
    return wait_.LookFor(ModbusReplyStart(station), T + kModbusExtraMs, request);
}

bool Probes::ProbeLyraBus(int station, int T) {
    const std::string request = LyraBusRequest(station);
    Send(request);
    try {
        return LyraBusReplyMatches(station, wait_.WaitFor(kLyraBusReplyLength, T, request));
    } catch (const PortFailure& failure) {
        wait_.Record(failure);
        return false;
    }
}

}  // namespace probelyn
