#include "probes.h"

#include "port_failure.h"
#include "probe_frames.h"

void Probes::Send(const std::string& request) {
    try {
        Prt_.Write(request);
    } catch (const PortFailure&) {
        // Not reported: the wait that follows finds no reply.
    }
}

bool Probes::ProbeAscii(int station, int T) {
    Send(AsciiRequest(station));
    return wait_.LookFor(AsciiReplyStart(), T);
}

bool Probes::ProbeModbus(int station, int T) {
    Send(ModbusRequest(station));
    return wait_.LookFor(ModbusReplyStart(station), T + kModbusExtraMs);
}

bool Probes::ProbeLyraBus(int station, int T) {
    Send(LyraBusRequest(station));
    try {
        return LyraBusReplyMatches(station, wait_.WaitFor(kLyraBusReplyLength, T));
    } catch (const PortFailure&) {
        return false;
    }
}
