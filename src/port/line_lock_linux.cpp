#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "line_lock.h"

namespace {

namespace fs = std::filesystem;

// No lock format needs more: a padded PID, a program and a host name.
constexpr std::size_t kLockBytes = 128;
// /proc/<pid>/comm holds at most this many characters of a program's name.
constexpr std::size_t kCommLength = 15;

// The names other programs lock the device under: its own name and that of
// the device a link leads to (LCK..ttyUSB0), and the whole path with '/' made
// '_' as Qt writes it for devices outside /dev.
std::vector<std::string> LockNames(const std::string& device) {
    std::vector<std::string> names{fs::path(device).filename().string()};
    std::error_code error;
    const fs::path target = fs::canonical(device, error);
    if (!error) {
        names.push_back(target.filename().string());
    }
    std::string mangled = device;
    std::replace(mangled.begin(), mangled.end(), '/', '_');
    names.push_back(mangled);
    return names;
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
    if (named.pid == 0 || named.pid == ::getpid() || !IsAlive(named.pid)) {
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
