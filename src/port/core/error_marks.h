#pragma once

#include <string>
#include <string_view>

namespace probelyn {

// The marks of characters received with an error, as a POSIX tty hands them
// over when asked to mark them (PARMRK): 0377 0 c for a character c received
// with a framing or parity error, 0377 0 0 for a break, and a real 0377 as
// 0377 0377. Every line opened to listen hands its bytes over so marked, made
// here, and the listen reads them here.
inline constexpr char kMark = '\377';

// Appends bytes received intact, each real 0377 doubled.
void AppendReceived(std::string& into, std::string_view bytes);
// Appends the mark of one character received with an error: its value, or 0
// for a break and where the system does not say which character it was.
void AppendErrored(std::string& into, char value = '\0');

// Reads a marked stream as it comes, read by read: a mark cut by the end of
// one read is completed by the next. A 0377 followed by anything but 0377 or 0
// is no mark (a tty that marks nothing) and is taken as a byte.
class MarkReader {
  public:
    // Calls byte(c) for each byte received intact and errored(c) for each
    // character received with an error, in order.
    template <typename Byte, typename Errored>
    void Take(std::string_view marked, Byte&& byte, Errored&& errored);

  private:
    std::string pending_;
};

template <typename Byte, typename Errored>
void MarkReader::Take(std::string_view marked, Byte&& byte, Errored&& errored) {
    pending_.append(marked);
    std::size_t i = 0;
    while (i < pending_.size()) {
        if (pending_[i] != kMark) {
            byte(pending_[i++]);
        } else if (i + 1 >= pending_.size()) {
            break;  // the rest of the mark comes with the next read
        } else if (pending_[i + 1] == kMark) {
            byte(kMark);
            i += 2;
        } else if (pending_[i + 1] == '\0') {
            if (i + 2 >= pending_.size()) {
                break;
            }
            errored(pending_[i + 2]);
            i += 3;
        } else {
            byte(pending_[i++]);
        }
    }
    pending_.erase(0, i);
}

}  // namespace probelyn
