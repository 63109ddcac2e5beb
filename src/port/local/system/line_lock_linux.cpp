#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "line_lock.h"
#include "line_name.h"
#include "port_failure.h"

namespace probelyn {

namespace {

namespace fs = std::filesystem;

// No lock format needs more: a padded PID, a program and a host name.
constexpr std::size_t kLockBytes = 128;
// /proc/<pid>/comm holds at most this many characters of a program's name.
constexpr std::size_t kCommLength = 15;

std::string Mangled(std::string path) {
    std::replace(path.begin(), path.end(), '/', '_');
    return path;
}

// The names other programs lock the device under: its own name and that of
// the device a link leads to (LCK..ttyUSB0), and both whole paths with '/'
// made '_', as Qt writes them for devices outside /dev.
std::vector<std::string> LockNames(const std::string& device) {
    const std::string target = ResolvedDevice(device);
    return {fs::path(device).filename().string(), fs::path(target).filename().string(),
            Mangled(device), Mangled(target)};
}

// The name this program locks a device under: that of the device it leads
// to, its whole path where it lies outside /dev itself.
std::string OwnLockName(const std::string& device) {
    const fs::path target = ResolvedDevice(device);
    return target.parent_path() == "/dev" ? target.filename().string() : Mangled(target.string());
}

bool IsAsciiPidText(const std::string& contents) {
    return std::all_of(contents.begin(), contents.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == ' ' || c == '\n';
    });
}

struct LockContents {
    int pid = 0;          // 0 when the lock names none
    std::string program;  // empty when the lock names none
};

// A binary PID is 4 bytes whose last is 0 (PIDs stay below 2^22), so it is
// never mistaken for text.
LockContents Parse(const std::string& contents) {
    LockContents parsed;
    if (contents.size() == 4 && !IsAsciiPidText(contents)) {
        std::memcpy(&parsed.pid, contents.data(), sizeof parsed.pid);
        parsed.pid = std::max(parsed.pid, 0);
        return parsed;
    }
    std::istringstream text(contents);
    long pid = 0;
    if (text >> pid && pid > 0 && pid < (1L << 22)) {
        parsed.pid = static_cast<int>(pid);
        text >> parsed.program;
        parsed.program = fs::path(parsed.program).filename().string();
    }
    return parsed;
}

bool IsAlive(int pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::string ProgramOf(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// The name of the program a process runs, where this user may see it (it is
// the full name, which comm may shorten).
std::string ExecutableOf(int pid) {
    std::error_code error;
    std::string target = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).string();
    const std::string deleted = " (deleted)";
    if (target.size() > deleted.size() && target.ends_with(deleted)) {
        target.resize(target.size() - deleted.size());
    }
    return fs::path(target).filename().string();
}

// Whether the living process is the program the lock names.
bool RunsProgram(int pid, const std::string& program, const std::string& comm) {
    return comm == program.substr(0, kCommLength) || ExecutableOf(pid) == program;
}

LineLocks Unjudged(const fs::path& lock, const std::string& why) {
    return {LineLocks::Verdict::Unjudged, {}, lock.string() + ": " + why};
}

// Reads the start of a lock that is a regular file, without following a link
// or blocking on a FIFO. False when there is none, or with the reason when it
// cannot be read so.
bool ReadLock(const fs::path& lock, std::string* contents, std::string* why) {
    const int fd = ::open(lock.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd == -1) {
        *why = errno == ENOENT  ? ""
               : errno == ELOOP ? "the lock is a symbolic link"
                                : std::strerror(errno);
        return false;
    }
    struct stat about {};
    bool read = false;
    if (::fstat(fd, &about) == -1) {
        *why = std::strerror(errno);
    } else if (!S_ISREG(about.st_mode)) {
        *why = "the lock is not a regular file";
    } else {
        char bytes[kLockBytes];
        const ssize_t n = ::read(fd, bytes, sizeof bytes);
        read = n >= 0;
        *why = read ? "" : std::strerror(errno);
        contents->assign(bytes, read ? static_cast<std::size_t>(n) : 0);
    }
    ::close(fd);
    return read;
}

LineLocks Judge(const fs::path& lock) {
    std::string contents;
    std::string why;
    if (!ReadLock(lock, &contents, &why)) {
        return why.empty() ? LineLocks{} : Unjudged(lock, why);
    }
    const LockContents named = Parse(contents);
    if (named.pid == ::getpid()) {
        return {LineLocks::Verdict::Ours, {}, {}};
    }
    if (named.pid == 0 || !IsAlive(named.pid)) {
        return {};
    }
    const std::string comm = ProgramOf(named.pid);
    if (!named.program.empty() && !RunsProgram(named.pid, named.program, comm)) {
        return {};  // the PID now belongs to another program: a stale lock
    }
    return {LineLocks::Verdict::Held, {named.pid, comm}, {}};
}

}  // namespace

LineLocks InspectLineLocks(const std::string& device, const std::string& lockDirs) {
    const std::vector<std::string> names = LockNames(device);
    std::istringstream dirs(lockDirs);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        for (const std::string& name : names) {
            const LineLocks judged = Judge(fs::path(dir) / ("LCK.." + name));
            if (judged.verdict != LineLocks::Verdict::Free) {
                return judged;
            }
        }
    }
    return {};
}

namespace {

std::string BusyText(const LineLocks& locks) {
    if (locks.verdict == LineLocks::Verdict::Ours) {
        return "The line is busy: this program already uses it";
    }
    std::string who = "process " + std::to_string(locks.holder.pid);
    if (!locks.holder.program.empty()) {
        who += " (" + locks.holder.program + ")";
    }
    return "The line is busy: " + who + " holds its lock";
}

// Fails when the device is held, by another program or this one, or its lock
// cannot be judged.
void RefuseLocked(const LineLocks& locks) {
    switch (locks.verdict) {
        case LineLocks::Verdict::Free:
            return;
        case LineLocks::Verdict::Held:
        case LineLocks::Verdict::Ours:
            throw PortFailure(LineError::Busy, BusyText(locks));
        case LineLocks::Verdict::Unjudged:
            throw PortFailure(LineError::LockUnjudged,
                              "The line's lock cannot be judged: " + locks.reason);
    }
}

// What other programs read in our lock: Qt's form.
std::string OwnLockContents() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return std::to_string(::getpid()) + "\n" + program_invocation_short_name + "\n" + host + "\n";
}

// Says once per program why lines go unlocked.
void SayUnlocked(const std::string& lockDir, int error) {
    static std::once_flag said;
    std::call_once(said, [&] {
        std::fprintf(stderr,
                     "%s: cannot write lock files in %s (%s): lines are used without one, so "
                     "other programs cannot see that they are in use\n",
                     program_invocation_short_name, lockDir.c_str(), std::strerror(error));
    });
}

// The lock, written whole under a temporary name in the folder; empty (with
// errno set) when the folder cannot be written.
std::string WrittenAside(const std::string& lockDir) {
    std::string temp = lockDir + "/.probelyn-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd == -1) {
        return {};
    }
    const std::string contents = OwnLockContents();
    const bool written = ::fchmod(fd, 0644) == 0 && ::write(fd, contents.data(), contents.size()) ==
                                                        static_cast<ssize_t>(contents.size());
    const int saved = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temp.c_str());
        errno = saved;
        return {};
    }
    return temp;
}

}  // namespace

LineLock::LineLock(const std::string& device, const std::string& lockDirs) {
    RefuseLocked(InspectLineLocks(device, lockDirs));
    const std::string lockDir = lockDirs.substr(0, lockDirs.find(':'));
    const std::string temp = WrittenAside(lockDir);
    if (temp.empty()) {
        SayUnlocked(lockDir, errno);
        return;
    }
    const std::string lock = lockDir + "/LCK.." + OwnLockName(device);
    // link() never replaces what is there: a lock another program put in
    // place meanwhile is judged, and only a stale one is taken over.
    for (int attempt = 0; attempt < 2 && path_.empty(); ++attempt) {
        if (::link(temp.c_str(), lock.c_str()) == 0) {
            path_ = lock;
        } else if (errno != EEXIST) {
            SayUnlocked(lockDir, errno);
            break;
        } else {
            const LineLocks there = Judge(lock);
            if (there.verdict != LineLocks::Verdict::Free) {
                ::unlink(temp.c_str());
                RefuseLocked(there);
            }
            ::unlink(lock.c_str());
        }
    }
    ::unlink(temp.c_str());
}

LineLock::~LineLock() {
    if (!path_.empty() && Judge(path_).verdict == LineLocks::Verdict::Ours) {
        ::unlink(path_.c_str());
    }
}

}  // namespace probelyn
