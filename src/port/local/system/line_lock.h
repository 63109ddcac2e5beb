#pragma once

#include <string>

namespace probelyn {

// Another program that holds a serial device, as its UUCP lock file says.
struct LockHolder {
    int pid = 0;
    std::string program;  // from the system's process table; empty when unknown
};

// What the lock files of a device say about using it.
struct LineLocks {
    enum class Verdict { Free, Held, Ours, Unjudged };
    Verdict verdict = Verdict::Free;
    LockHolder holder;   // Held: the living program that holds the line
    std::string reason;  // Unjudged: the lock's path and why it cannot be read
};

// Judges the UUCP locks (LCK..<name> in /run/lock or /var/lock) that name the
// device. Lock folders are writable by every user, so a lock is untrusted
// input: only a regular file is read, and only its first bytes; anything else
// (a FIFO, a link, a device) leaves the line unjudged, and so unused.
// A lock holds the line while it names a living process other than this one
// (one naming this process is Ours), the PID in ASCII with or without padding
// or as a 4-byte binary number. A lock that also names its program (Qt's
// "PID\nprogram\nhost", minicom's "PID program user") is stale when the
// living process is another program: the PID was reused after a crash. Locks
// are looked for under the names of the device and of the device a link
// leads to, and under their whole paths with '/' made '_', as Qt writes them
// for devices outside /dev. `lockDirs` lists the folders, split by ':'.
LineLocks InspectLineLocks(const std::string& device,
                           const std::string& lockDirs = "/run/lock:/var/lock");

// This program's claim on a device while it uses it: a UUCP lock in the lock
// folder, named after the device a path leads to (so that a link and its
// device share one lock), in Qt's form ("PID\nprogram\nhost\n"), in the first
// of the lock folders after looking in all of them. It is
// written whole under a temporary name and put in place with link(2), which
// never replaces another lock; a stale lock is replaced, one naming a living
// process never. Throws PortFailure (Busy, LockUnjudged) when the device is
// held or its lock cannot be judged. Where the folder cannot be written, the
// device goes unlocked and the program says why once on standard error. The
// lock is removed when the claim ends, while it is still this program's.
class LineLock {
  public:
    explicit LineLock(const std::string& device,
                      const std::string& lockDirs = "/run/lock:/var/lock");
    ~LineLock();
    LineLock(const LineLock&) = delete;
    LineLock& operator=(const LineLock&) = delete;

    // The lock file written; empty when the device went unlocked.
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace probelyn
