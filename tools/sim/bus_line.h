#pragma once

#include <atomic>
#include <thread>
#include <vector>

#include "bus.h"
#include "pty_line.h"

namespace probelyn {

struct BusConfig {
    Protocol protocol = Protocol::Modbus;
    BusSetting setting;
    std::vector<int> polled;
    std::vector<int> answering;
    int pollMs = 100;      // from one request to the next
    int replyDelayMs = 3;  // from a request's last bit to its reply's first
};

// A live bus on its own pseudo-terminal: a master polling its stations and
// the answering ones replying, in real time, each frame laid on a wire at the
// bus's setting and handed to whoever listens as a UART at the listener's
// own setting would receive it (the pty's input rate, odd parity and stop
// bits; a pty drops even parity, which reads as none). Counts every byte the
// listener writes. Stopped and joined on destruction.
class BusLine {
  public:
    explicit BusLine(BusConfig config);
    ~BusLine();
    BusLine(const BusLine&) = delete;
    BusLine& operator=(const BusLine&) = delete;

    const std::string& Device() const { return line_.SlavePath(); }
    void LinkAt(const std::string& path) { line_.LinkAt(path); }
    // Bytes the listener has written to the bus so far.
    long BytesWritten() const { return written_; }

  private:
    void Run();
    // Sleeps until the time, or returns false once the bus is stopping.
    bool SleepUntil(std::chrono::steady_clock::time_point t);
    void CountWrites();

    BusConfig config_;
    PtyLine line_;
    std::atomic<long> written_{0};
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace probelyn
