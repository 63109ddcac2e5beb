#pragma once

#include <cstdint>
#include <string>

#include "baud_rates.h"
#include "port_access.h"
#include "probes.h"
#include "scan_host.h"

// One identification run: over the scan's ten baud rates it opens the chosen
// line, probes every station of a range with the chosen protocol, keeps the
// status line and progress bar current, and ends at the first station that
// answers. Offers the extended ASCII scan when nothing answered.
class ScanRun {
  public:
    ScanRun(ScanHost& host, PortComponent& Prt, PortAccess& access, const BaudTable& BaudRates,
            Clock& clock);

    // The run as the user sees it, from Go to its end; the window shows the
    // end of the run once this returns. A failure of the line outside the
    // engine (closing it at the end) passes to the caller.
    void DetectNow();
    // The scan loop. True on a find (reported, and the run ended through
    // CancelNow); false when nothing answered or a cancel was requested.
    bool DetectionEngine(std::int16_t AddressLo, std::int16_t AddressHi, bool LYRABUS, bool ASCII,
                         bool MODBUS);
    // The common end of a found or stopped run.
    void CancelNow();

  private:
    // Runs one step of the engine; a failure is recorded and passed over.
    template <typename Step>
    void Skip(Step step);
    bool ProbeStation(int station, int T, bool LYRABUS, bool ASCII, bool MODBUS, std::string* kind);
    bool Found(const std::string& kind, int baud, int station);
    void ShowPortError(int baud);
    bool OfferExtendedScan();
    void EndCancelled();
    std::string Line() const;

    ScanHost& host_;
    PortComponent& Prt_;
    PortAccess& access_;
    const BaudTable& BaudRates_;
    ReplyWait wait_;
    Probes probes_;
    int line_ = 0;  // the line last opened
};
