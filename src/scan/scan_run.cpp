#include "scan_run.h"

#include <exception>

#include "base_time_limit.h"
#include "port_failure.h"

namespace {

constexpr int kFastestRateIndex = 12;
constexpr int kSlowestRateIndex = 3;

const char kExtendedScanQuestion[] =
    "No instrument was identified! Would you like to attempt an extended address scan for ASCII "
    "instruments (Addresses 256 to 999)?\r\nThis could take a long time so you should only "
    "select Yes if you believe you have an ASCII instrument connected.";

}  // namespace

ScanRun::ScanRun(ScanHost& host, PortComponent& Prt, PortAccess& access, const BaudTable& BaudRates,
                 Clock& clock)
    : host_(host),
      Prt_(Prt),
      access_(access),
      BaudRates_(BaudRates),
      wait_(Prt, clock),
      probes_(Prt, wait_) {}

template <typename Step>
void ScanRun::Skip(Step step) {
    SkipOnFailure(access_.Error(), step);
}

std::string ScanRun::Line() const {
    return std::to_string(line_);
}

void ScanRun::DetectNow() {
    const int index = host_.SelectedProtocol();
    if (!DetectionEngine(1, 255, index == 0, index == 1, index == 2)) {
        if (host_.CancelRequested()) {
            EndCancelled();
            return;
        }
        if (!OfferExtendedScan()) {
            return;
        }
    }
    host_.ClearBar();
}

// Asks for and runs the extended scan. False when the run has already ended
// through a cancel.
bool ScanRun::OfferExtendedScan() {
    if (!host_.AskYesNo("No Instrument Detected", kExtendedScanQuestion)) {
        return true;
    }
    host_.EnablePortList(false);
    // Stations above 255 fit only the ASCII probe's three-digit field.
    if (DetectionEngine(256, 999, false, true, false)) {
        return true;
    }
    if (host_.CancelRequested()) {
        EndCancelled();
        return false;
    }
    host_.Warn("Identification Failed", "No instrument detected!");
    host_.SetStatus("Ready");
    return true;
}

void ScanRun::EndCancelled() {
    CancelNow();
    host_.ClearBar();
}

bool ScanRun::DetectionEngine(std::int16_t AddressLo, std::int16_t AddressHi, bool LYRABUS,
                              bool ASCII, bool MODBUS) {
    if (host_.CancelRequested()) {
        return false;
    }
    // The total is worked out in 16 bits, as the station numbers are.
    const auto total = static_cast<std::int16_t>((AddressHi - AddressLo) * 10);
    int count = 0;
    for (int i = kFastestRateIndex; i >= kSlowestRateIndex; --i) {
        const int baud = BaudRates_[static_cast<std::size_t>(i)];
        access_.Error().Clear();
        bool opened = false;
        Skip([&] {
            line_ = host_.SelectedLine();
            opened = access_.OpenPort({.line = line_, .baud = baud});
        });
        if (opened) {
            const int T = BaseTimeLimit(baud);
            for (int station = AddressLo; station <= AddressHi; ++station) {
                if (host_.CancelRequested()) {
                    return false;  // the line stays open; CancelNow closes it
                }
                Skip([&] {
                    host_.SetStatus("Trying " + std::to_string(baud) + " baud on COM" + Line() +
                                    " for station number " + std::to_string(station) + "...");
                });
                ++count;
                Skip([&] { host_.SetBar(count, total); });
                // Drawn while the first probe's reply is awaited.
                wait_.DuringNextWait([this] { Skip([&] { host_.DrawProgress(); }); });
                std::string kind;
                const bool found = ProbeStation(station, T, LYRABUS, ASCII, MODBUS, &kind);
                wait_.RunPendingWork();
                if (found) {
                    return Found(kind, baud, station);
                }
                Skip([&] { host_.PumpEvents(); });
            }
        } else {
            Skip([&] { ShowPortError(baud); });
        }
        Skip([&] { access_.ClosePort(); });
    }
    return false;
}

// The chosen probes in the order ASCII, Modbus, LyraBus, discarding what a
// miss left waiting. An ASCII match counts only when confirmed by a second
// probe of the station.
bool ScanRun::ProbeStation(int station, int T, bool LYRABUS, bool ASCII, bool MODBUS,
                           std::string* kind) {
    using Probe = bool (Probes::*)(int, int);
    struct Choice {
        bool chosen;
        Probe probe;
        Probe confirm;  // asks again after a match whose reply names no station
        const char* kind;
    };
    const Choice choices[] = {{ASCII, &Probes::ProbeAscii, &Probes::ConfirmAscii, "ASCII"},
                              {MODBUS, &Probes::ProbeModbus, nullptr, "ModBus"},
                              {LYRABUS, &Probes::ProbeLyraBus, nullptr, "Lyrabus"}};
    for (const Choice& c : choices) {
        if (!c.chosen) {
            continue;
        }
        bool answered = false;
        Skip([&] { answered = (probes_.*c.probe)(station, T); });
        if (answered && c.confirm != nullptr) {
            answered = false;
            Skip([&] { answered = (probes_.*c.confirm)(station, T); });
        }
        if (answered) {
            *kind = c.kind;
            return true;
        }
        Skip([&] { Prt_.DiscardInput(); });
    }
    return false;
}

bool ScanRun::Found(const std::string& kind, int baud, int station) {
    Skip([&] {
        host_.DoFound(kind + " device on COM" + Line() + " at " + std::to_string(baud) +
                      " baudrate on station " + std::to_string(station));
    });
    Skip([&] { CancelNow(); });
    return true;
}

void ScanRun::ShowPortError(int baud) {
    host_.Warn("Port Error", "Trying " + std::to_string(baud) + " baud on COM" + Line() +
                                 " caused the following error: " + access_.Error().description);
}

void ScanRun::CancelNow() {
    host_.ClearCancelRequested();
    // The port list and a requested close must not hang on a line that failed
    // to close; the failure itself still goes to the caller afterwards.
    std::exception_ptr failure;
    try {
        access_.ClosePort();
    } catch (const PortFailure&) {
        failure = std::current_exception();
    }
    host_.EnablePortList(true);
    if (host_.CloseRequested()) {
        host_.CloseWindow();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}
