#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "error_marks.h"
#include "protocol.h"

namespace probelyn {

// One protocol's frames in the traffic: the stations the master polled, those
// that answered, how many frames decoded with a valid check, how many runs
// held bytes no frame explains, how many requests met their reply, and how
// many frames were different.
struct Heard {
    Protocol protocol = Protocol::Modbus;
    std::vector<int> polled;
    std::vector<int> answered;
    int frames = 0;
    int badFrames = 0;
    int exchanges = 0;
    int distinct = 0;
};

// The frames of one protocol by its own rules, decoded as the bytes come in.
// Modbus RTU: station 1 to 247, a function code whose frame length it fits
// (requests of functions 1 to 6 are 8 bytes, their replies 5 + byte count
// for 1 to 4, the request echoed for 5 and 6; requests of 15 and 16 are 9 +
// byte count, their replies 8; an exception 5), and the CRC-16; LyraBus: 0xFE, the body (station,
// command, data), the nibble checksum of the body; a reply from the station polled, ending in the
// nibble checksum of the bytes before it; ASCII: "!" + three digits + ":" + printable text + CR; a
// reply, printable text ending in CR after a request. Runs are split by length and check, not by
// time alone: adapters blur gaps. Each byte is looked at a bounded number of times, however long
// the run.
class FrameDecoder {
  public:
    explicit FrameDecoder(Protocol protocol);

    void Take(char byte);
    // Silence or an errored character: the run under way ends.
    void EndRun();
    const Heard& Result() const;

  private:
    // Decodes at the run's front while enough bytes are in to tell (all,
    // when the run has ended).
    void Advance(bool ended);
    void Note(std::size_t length, bool request, int station, int function);

    Protocol protocol_;
    std::size_t lookahead_;
    std::string run_;
    std::size_t at_ = 0;
    bool unexplained_ = false;
    bool open_ = false;  // a request awaits its reply
    int openStation_ = 0;
    int openFunction_ = 0;
    std::vector<std::string> seen_;
    Heard heard_;
};

// What a listener hears on a line at one setting, decoded for each protocol
// listened for.
class Traffic {
  public:
    using Duration = std::chrono::nanoseconds;

    // Silence this long ends a run: 3.5 characters at the rate, at least
    // 1.75 ms (Modbus's rule above 19200 baud), and at least `quietFloor`
    // (a line whose bytes come in segments).
    Traffic(int baud, const std::vector<Protocol>& protocols, Duration quietFloor = {});

    // What one read returned at `at`, errors marked (see error_marks.h). A
    // mark cut by the end of a read is completed by the next.
    void Take(const std::string& marked, Duration at);

    // The listen at this setting is over: the run under way ends.
    void Finish() { EndRun(); }

    // Characters received with an error.
    int Errors() const { return errors_; }
    // Each protocol's frames so far.
    std::vector<Heard> Heards() const;

  private:
    void Add(char byte);
    void EndRun();

    Duration silence_;
    Duration last_{};
    bool heardAny_ = false;
    MarkReader marks_;
    int errors_ = 0;
    std::vector<FrameDecoder> decoders_;
};

// How many frames it takes at the least.
inline constexpr int kFramesToIdentify = 3;

// Whether it is the protocol's traffic: three frames at least, a request met
// by its reply, more than one distinct frame (garbage read at a wrong rate
// repeats), at least twice as many frames as runs of unexplained bytes, and
// no character received with an error.
bool Identified(const Heard& heard, int errors);

}  // namespace probelyn
