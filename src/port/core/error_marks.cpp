#include "error_marks.h"

namespace probelyn {

void AppendReceived(std::string& into, std::string_view bytes) {
    for (const char c : bytes) {
        into += c;
        if (c == kMark) {
            into += c;
        }
    }
}

void AppendErrored(std::string& into, char value) {
    into += kMark;
    into += '\0';
    into += value;
}

}  // namespace probelyn
