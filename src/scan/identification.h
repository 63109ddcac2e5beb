#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace probelyn {

// Who a Modbus instrument is, as it says itself when asked for its basic
// device identification (function 43, MEI type 14, read device ID code 1):
// its vendor's name, its product code and its revision, each as the bytes
// it gave, empty where it gave none.
struct Identity {
    std::string vendor;
    std::string productCode;
    std::string revision;

    friend bool operator==(const Identity&, const Identity&) = default;
};

// The request for the station's basic identification, from the object on.
std::string IdentificationRequest(int station, int object);

// What a reply to that request says, as far as it has come. An exception, a
// reply to something else, a frame past the longest a Modbus frame may be,
// an object running past the frame or a CRC that fails are malformed.
struct IdentificationReply {
    enum class State { Incomplete, Malformed, Complete };
    State state = State::Incomplete;
    std::vector<std::pair<int, std::string>> objects;  // id and value
    bool moreFollows = false;
    int nextObject = 0;
    // The bytes the frame takes, as far as those that came tell.
    std::size_t length = 0;
};
IdentificationReply ParseIdentification(int station, const std::string& bytes);

// The objects of one or more replies as an identity: 0 the vendor's name,
// 1 the product code, 2 the revision; any other object is left out.
void AddObjects(Identity& identity, const std::vector<std::pair<int, std::string>>& objects);

}  // namespace probelyn
