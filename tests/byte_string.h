#pragma once

#include <initializer_list>
#include <string>

namespace probelyn {

// A byte string from values written as numbers, 0x00 included.
inline std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

}  // namespace probelyn
