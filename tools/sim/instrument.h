#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "instrument_line.h"
#include "instrument_protocol.h"

namespace probelyn {

struct InstrumentConfig {
    Protocol protocol = Protocol::Ascii;
    int baud = 9600;
    int station = 1;
    int delay_ms = 2;           // from the request's last byte to the reply
    bool noise = false;         // at other rates, answer requests with garbage
    int partial = -1;           // send only this many reply bytes (-1: all)
    int pieces = 1;             // send the reply in this many pieces...
    int gap_ms = 0;             // ...with this gap between them
    bool babble = false;        // send garbage all the time
    bool static_noise = false;  // send uniformly random bytes all the time
    bool echo = false;          // hand every received byte straight back, as
                                // a two-wire RS-485 adapter does
    Framing framing;            // answer only while the line is framed so
    std::FILE* log = nullptr;   // one line per request seen
    unsigned seed = 1;
    // Behind a device server of its own at this name (see
    // ServedInstrumentLine) instead of on a pseudo-terminal.
    std::string serve;
    bool answerPurges = true;  // the server answers purges
    // Modbus devices of other kinds: the value its register 60 holds; an
    // exception it answers the probe with instead (0: none); a gateway that
    // answers exception 11 for every other station.
    int register60 = 0x4000;
    int exception = 0;
    bool gateway = false;
    // Its identification objects (vendor, product code, revision), given
    // when asked, the faulty way if one is set; none: it answers the request
    // with exception 1.
    std::vector<std::string> identity;
    IdentityFault identityFault = IdentityFault::None;
};

// One simulated instrument on its own line (see InstrumentLine). A thread
// reads the requests the program writes and answers only well-formed
// requests addressed to its station while the line is set to its baud rate
// and framing. Stopped and joined on destruction.
class Instrument {
  public:
    // One request of its protocol as it came in.
    struct Seen {
        int rate;
        std::chrono::steady_clock::time_point at;
    };

    explicit Instrument(InstrumentConfig config);
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    // What the program opens: the pty's device, or the server's name.
    const std::string& Device() const { return line_->Name(); }
    void LinkAt(const std::string& path) { line_->LinkAt(path); }
    // Requests of its protocol seen (any station, any rate).
    int Requests() const;
    // Every request of its protocol seen so far, oldest first.
    std::vector<Seen> RequestsSeen() const;
    // When the last byte of the latest answer was handed to the line.
    std::chrono::steady_clock::time_point LastAnswerAt() const {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(last_answer_.load()));
    }
    // The instrument is unplugged: its line disappears.
    void Vanish();

  private:
    void Run();
    void Take(const std::string& bytes);
    void Handle(const std::string& request, const Parsed& parsed);
    // What a Modbus instrument of its kind answers; nothing for silence.
    std::string ModbusAnswer(const Parsed& parsed) const;
    void Answer(const std::string& reply);
    void Log(const std::string& request, int rate);
    void Stop();

    InstrumentConfig config_;
    std::unique_ptr<InstrumentLine> line_;
    std::string pending_;
    mutable std::mutex seen_mutex_;
    std::vector<Seen> seen_;
    std::atomic<std::chrono::steady_clock::rep> last_answer_{0};
    int wake_[2] = {-1, -1};
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::thread thread_;
};

}  // namespace probelyn
