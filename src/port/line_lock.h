#pragma once

#include <optional>
#include <string>

// Another program that holds a serial device, as its UUCP lock file says.
struct LockHolder {
    int pid = 0;
    std::string program;  // from the system's process table; empty when unknown
};

// The living process, other than this one, whose UUCP lock (LCK..<name> in
// /run/lock or /var/lock, the PID in ASCII with or without padding, or as a
// 4-byte binary number) names the device. Such a line is busy: it must not be
// opened, and its lock must never be removed. A lock whose process is gone
// names nobody. `lockDirs` lists the lock folders, separated by ':'.
std::optional<LockHolder> ForeignLockHolder(const std::string& device,
                                            const std::string& lockDirs = "/run/lock:/var/lock");
