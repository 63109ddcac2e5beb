#include "output.h"

#include <cerrno>

namespace probelyn {

void Output::Line(const std::string& text) {
    Text(text + "\n");
}

void Output::Text(const std::string& text) {
    if (failed_) {
        return;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
        failed_ = true;
        ending_.WriteFailed(what_, errno != 0 ? errno : EIO);
    }
}

}  // namespace probelyn
