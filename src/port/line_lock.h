#pragma once

#include <string>

// Another program that holds a serial device, as its UUCP lock file says.
struct LockHolder {
    int pid = 0;
    std::string program;  // from the system's process table; empty when unknown
};

// What the lock files of a device say about using it.
struct LineLocks {
    enum class Verdict { Free, Held, Unjudged };
    Verdict verdict = Verdict::Free;
    LockHolder holder;   // Held: the living program that holds the line
    std::string reason;  // Unjudged: the lock's path and why it cannot be read
};

// Judges the UUCP locks (LCK..<name> in /run/lock or /var/lock) that name the
// device. Lock folders are writable by every user, so a lock is untrusted
// input: only a regular file is read, and only its first bytes; anything else
// (a FIFO, a link, a device) leaves the line unjudged, and so unused.
// A lock holds the line while it names a living process other than this one,
// the PID in ASCII with or without padding or as a 4-byte binary number. A
// lock that also names its program (Qt's "PID\nprogram\nhost", minicom's
// "PID program user") is stale when the living process is another program:
// the PID was reused after a crash. `lockDirs` lists the folders, split by ':'.
LineLocks InspectLineLocks(const std::string& device,
                           const std::string& lockDirs = "/run/lock:/var/lock");
