#include "port_failure.h"

#include <cstdio>

namespace probelyn {

PortFailure::PortFailure(LineError error, const std::string& description)
    : std::runtime_error(description), record_{error, description} {}

std::string NoAccessText(const std::string& owner, const std::string& group, unsigned mode) {
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", mode & 07777U);
    std::string text = "Permission denied (owner " + owner + ", group " + group + ", mode " + octal;
    constexpr unsigned kGroupReadWrite = 060;
    if (group == "dialout" && (mode & kGroupReadWrite) == kGroupReadWrite) {
        text +=
            "; join the dialout group: sudo usermod -aG dialout $USER, then log out and log "
            "in again";
    }
    return text + ")";
}

}  // namespace probelyn
