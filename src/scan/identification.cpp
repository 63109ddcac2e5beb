#include "identification.h"

#include "answers.h"
#include "checksums.h"

namespace probelyn {

namespace {

constexpr int kEncapsulated = 0x2B;
constexpr int kReadDeviceIdentification = 0x0E;
constexpr int kBasic = 0x01;
constexpr std::size_t kHeader = 8;  // station to the number of objects
constexpr int kMoreFollows = 0xFF;

char Byte(int value) {
    return static_cast<char>(value & 0xFF);
}

int At(const std::string& bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

// Whether the bytes that came agree with the header a reply must begin with.
bool HeaderHolds(int station, const std::string& bytes) {
    const int expected[] = {station, kEncapsulated, kReadDeviceIdentification, kBasic};
    for (std::size_t i = 0; i < bytes.size() && i < std::size(expected); ++i) {
        if (At(bytes, i) != expected[i]) {
            return false;
        }
    }
    return bytes.size() <= 5 || At(bytes, 5) == 0 || At(bytes, 5) == kMoreFollows;
}

}  // namespace

std::string IdentificationRequest(int station, int object) {
    std::string frame{Byte(station), Byte(kEncapsulated), Byte(kReadDeviceIdentification),
                      Byte(kBasic), Byte(object)};
    const std::uint16_t crc = Crc16(frame);
    return frame + LowByte(crc) + HighByte(crc);
}

IdentificationReply ParseIdentification(int station, const std::string& bytes) {
    using State = IdentificationReply::State;
    IdentificationReply reply;
    if (!HeaderHolds(station, bytes)) {
        reply.state = State::Malformed;
        return reply;
    }
    reply.length = kHeader;
    if (bytes.size() < kHeader) {
        return reply;
    }
    reply.moreFollows = At(bytes, 5) == kMoreFollows;
    reply.nextObject = At(bytes, 6);
    std::size_t at = kHeader;
    for (int n = At(bytes, 7); n > 0; --n) {
        const std::size_t length = at + 2 <= bytes.size() ? At(bytes, at + 1) : 0;
        if (at + 2 + length + 2 > kLongestFrame) {
            reply.state = State::Malformed;  // runs past any frame
            return reply;
        }
        reply.length = at + 2 + length;
        if (reply.length > bytes.size()) {
            return reply;
        }
        reply.objects.emplace_back(At(bytes, at), bytes.substr(at + 2, length));
        at += 2 + length;
    }
    reply.length = at + 2;
    if (reply.length > bytes.size()) {
        return reply;
    }
    const std::uint16_t crc = Crc16(bytes.substr(0, at));
    const bool crcHolds = bytes[at] == LowByte(crc) && bytes[at + 1] == HighByte(crc);
    reply.state = crcHolds ? State::Complete : State::Malformed;
    return reply;
}

void AddObjects(Identity& identity, const std::vector<std::pair<int, std::string>>& objects) {
    std::string* const fields[] = {&identity.vendor, &identity.productCode, &identity.revision};
    for (const auto& [id, value] : objects) {
        if (id >= 0 && id < static_cast<int>(std::size(fields))) {
            *fields[id] = value;
        }
    }
}

}  // namespace probelyn
