#include "traffic.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "checksums.h"

namespace probelyn {

namespace {

// LyraBus bodies and replies are short, ASCII lines too; a longer one is
// taken for garbage.
constexpr std::size_t kLongestLyraBus = 32;
constexpr std::size_t kLongestAsciiLine = 254;
constexpr int kHighestModbusStation = 247;

unsigned char At(const std::string& run, std::size_t i) {
    return static_cast<unsigned char>(run[i]);
}

struct Frame {
    bool request = true;
    int station = 0;
    int function = 0;
    std::size_t length = 0;
};

bool Printable(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
}

// --- Modbus RTU

bool CrcFits(const std::string& run, std::size_t i, std::size_t length) {
    if (length < 4 || i + length > run.size()) {
        return false;
    }
    const std::uint16_t crc = Crc16(run.substr(i, length - 2));
    return At(run, i + length - 2) == (crc & 0xFF) && At(run, i + length - 1) == (crc >> 8);
}

// The functions whose frames are known: reads (1 to 4), single writes (5, 6)
// and multiple writes (15, 16).
bool KnownFunction(int function) {
    return (function >= 1 && function <= 6) || function == 15 || function == 16;
}

// A multiple write: a request of 9 bytes and its byte count, answered in 8.
std::optional<Frame> ModbusWriteAt(const std::string& run, std::size_t i, int station, int function,
                                   bool awaited) {
    if (awaited && CrcFits(run, i, 8)) {
        return Frame{false, station, function, 8};
    }
    if (i + 7 <= run.size()) {
        const std::size_t requestLength = 9 + std::size_t{At(run, i + 6)};
        if (CrcFits(run, i, requestLength)) {
            return Frame{true, station, function, requestLength};
        }
    }
    if (CrcFits(run, i, 8)) {
        return Frame{false, station, function, 8};
    }
    return std::nullopt;
}

std::optional<Frame> ModbusAt(const std::string& run, std::size_t i,
                              const std::optional<Frame>& open) {
    if (i + 5 > run.size()) {
        return std::nullopt;
    }
    const int station = At(run, i);
    const int function = At(run, i + 1);
    if (station < 1 || station > kHighestModbusStation) {
        return std::nullopt;
    }
    const int asked = function & 0x7F;
    if ((function & 0x80) != 0 && KnownFunction(asked) && CrcFits(run, i, 5)) {
        return Frame{false, station, asked, 5};
    }
    if (!KnownFunction(function)) {
        return std::nullopt;
    }
    const bool awaited = open && open->station == station && open->function == function;
    if (function > 6) {
        return ModbusWriteAt(run, i, station, function, awaited);
    }
    const std::size_t replyLength = function <= 4 ? 5 + std::size_t{At(run, i + 2)} : 8;
    // The reply awaited first; 5 and 6 echo their request.
    if (awaited && CrcFits(run, i, replyLength)) {
        return Frame{false, station, function, replyLength};
    }
    if (CrcFits(run, i, 8)) {
        return Frame{true, station, function, 8};
    }
    if (function <= 4 && CrcFits(run, i, replyLength)) {
        return Frame{false, station, function, replyLength};
    }
    return std::nullopt;
}

// --- LyraBus

bool NibblesFit(const std::string& run, std::size_t from, std::size_t length) {
    return NibbleChecksum(run.substr(from, length)) == run.substr(from + length, 2);
}

std::optional<Frame> LyraBusAt(const std::string& run, std::size_t i,
                               const std::optional<Frame>& open) {
    if (At(run, i) == 0xFE) {
        for (std::size_t body = 2; body <= kLongestLyraBus && i + 3 + body <= run.size(); ++body) {
            if (NibblesFit(run, i + 1, body)) {
                return Frame{true, At(run, i + 1), At(run, i + 2), 3 + body};
            }
        }
    }
    if (open && At(run, i) == open->station) {
        for (std::size_t length = 3; length <= kLongestLyraBus && i + length <= run.size();
             ++length) {
            if (NibblesFit(run, i, length - 2)) {
                return Frame{false, open->station, open->function, length};
            }
        }
    }
    return std::nullopt;
}

// --- ASCII

// The length of printable text from `from` ending in CR (and an LF after it,
// if any); 0 when there is none.
std::size_t TextToCr(const std::string& run, std::size_t from) {
    std::size_t j = from;
    while (j < run.size() && j - from < kLongestAsciiLine && Printable(At(run, j))) {
        ++j;
    }
    if (j == from || j >= run.size() || run[j] != '\r') {
        return 0;
    }
    ++j;
    if (j < run.size() && run[j] == '\n') {
        ++j;
    }
    return j - from;
}

std::optional<Frame> AsciiAt(const std::string& run, std::size_t i,
                             const std::optional<Frame>& open) {
    const auto digit = [&](std::size_t k) {
        return k < run.size() && std::isdigit(At(run, k)) != 0;
    };
    if (run[i] == '!' && digit(i + 1) && digit(i + 2) && digit(i + 3) && i + 4 < run.size() &&
        run[i + 4] == ':') {
        if (const std::size_t text = TextToCr(run, i + 5); text > 0) {
            return Frame{true, std::stoi(run.substr(i + 1, 3)), 0, 5 + text};
        }
    }
    if (open) {
        if (const std::size_t text = TextToCr(run, i); text > 0) {
            return Frame{false, open->station, 0, text};
        }
    }
    return std::nullopt;
}

using FrameAt = std::optional<Frame> (*)(const std::string&, std::size_t,
                                         const std::optional<Frame>&);

FrameAt ParserOf(Protocol protocol) {
    switch (protocol) {
        case Protocol::Ascii:
            return &AsciiAt;
        case Protocol::Modbus:
            return &ModbusAt;
        case Protocol::LyraBus:
            break;
    }
    return &LyraBusAt;
}

// Adds the station to the ascending list, once.
void AddStation(std::vector<int>& stations, int station) {
    const auto at = std::lower_bound(stations.begin(), stations.end(), station);
    if (at == stations.end() || *at != station) {
        stations.insert(at, station);
    }
}

// The most bytes a frame of the protocol can take, so that what starts at a
// position is known once that many bytes follow it.
std::size_t Lookahead(Protocol protocol) {
    switch (protocol) {
        case Protocol::Ascii:
            return kLongestAsciiLine + 2;
        case Protocol::Modbus:
            return 5 + 255;
        case Protocol::LyraBus:
            break;
    }
    return kLongestLyraBus + 3;
}

// Enough distinct frames to judge by; more are not kept.
constexpr std::size_t kDistinctKept = 64;

}  // namespace

FrameDecoder::FrameDecoder(Protocol protocol)
    : protocol_(protocol), lookahead_(Lookahead(protocol)), heard_{protocol} {}

void FrameDecoder::Take(char byte) {
    run_ += byte;
    Advance(false);
}

void FrameDecoder::EndRun() {
    Advance(true);
    heard_.badFrames += unexplained_ ? 1 : 0;
    unexplained_ = false;
    run_.clear();
    at_ = 0;
}

void FrameDecoder::Note(std::size_t length, bool request, int station, int function) {
    ++heard_.frames;
    const std::string frame = run_.substr(at_, length);
    if (seen_.size() < kDistinctKept &&
        std::find(seen_.begin(), seen_.end(), frame) == seen_.end()) {
        seen_.push_back(frame);
        heard_.distinct = static_cast<int>(seen_.size());
    }
    if (request) {
        AddStation(heard_.polled, station);
        open_ = true;
        openStation_ = station;
        openFunction_ = function;
    } else if (open_ && openStation_ == station && openFunction_ == function) {
        AddStation(heard_.answered, station);
        ++heard_.exchanges;
        open_ = false;
    }
}

void FrameDecoder::Advance(bool ended) {
    const FrameAt frameAt = ParserOf(protocol_);
    while (at_ < run_.size() && (ended || run_.size() - at_ >= lookahead_)) {
        const std::optional<Frame> open =
            open_ ? std::optional<Frame>(Frame{true, openStation_, openFunction_, 0})
                  : std::nullopt;
        if (const std::optional<Frame> frame = frameAt(run_, at_, open)) {
            Note(frame->length, frame->request, frame->station, frame->function);
            at_ += frame->length;
        } else {
            unexplained_ = true;
            ++at_;
        }
    }
    if (at_ > 4096) {  // what is decided goes; the run's tail stays
        run_.erase(0, at_);
        at_ = 0;
    }
}

const Heard& FrameDecoder::Result() const {
    return heard_;
}

Traffic::Traffic(int baud, const std::vector<Protocol>& protocols, Duration quietFloor)
    : silence_(std::max({Duration(35'000'000'000LL / baud),
                         Duration(std::chrono::microseconds(1750)), quietFloor})),
      decoders_(protocols.begin(), protocols.end()) {}

void Traffic::EndRun() {
    for (FrameDecoder& decoder : decoders_) {
        decoder.EndRun();
    }
}

void Traffic::Add(char byte) {
    for (FrameDecoder& decoder : decoders_) {
        decoder.Take(byte);
    }
}

std::vector<Heard> Traffic::Heards() const {
    std::vector<Heard> heards;
    for (const FrameDecoder& decoder : decoders_) {
        heards.push_back(decoder.Result());
    }
    return heards;
}

void Traffic::Take(const std::string& marked, Duration at) {
    if (heardAny_ && at - last_ >= silence_) {
        EndRun();
    }
    heardAny_ = heardAny_ || !marked.empty();
    if (!marked.empty()) {
        last_ = at;
    }
    marks_.Take(
        marked, [this](char byte) { Add(byte); },
        [this](char) {
            ++errors_;  // the errored character ends the run
            EndRun();
        });
}

bool Identified(const Heard& heard, int errors) {
    return errors == 0 && heard.frames >= kFramesToIdentify && heard.exchanges >= 1 &&
           heard.distinct >= 2 && heard.badFrames * 2 <= heard.frames;
}

}  // namespace probelyn
