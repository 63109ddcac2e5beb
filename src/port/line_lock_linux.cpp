#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "line_lock.h"

namespace {

namespace fs = std::filesystem;

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
    for (char& c : mangled) {
        c = c == '/' ? '_' : c;
    }
    names.push_back(mangled);
    return names;
}

bool IsAsciiPidText(const std::string& contents) {
    return std::all_of(contents.begin(), contents.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == ' ' || c == '\n';
    });
}

// The PID a lock file names, 0 when it names none. A binary PID is 4 bytes
// whose last is 0 (PIDs stay below 2^22), so it is never mistaken for text.
int LockedPid(const std::string& contents) {
    if (contents.size() == 4 && !IsAsciiPidText(contents)) {
        int pid = 0;
        std::memcpy(&pid, contents.data(), sizeof pid);
        return pid > 0 ? pid : 0;
    }
    std::istringstream text(contents);
    long pid = 0;
    return text >> pid && pid > 0 && pid < (1L << 22) ? static_cast<int>(pid) : 0;
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

std::optional<LockHolder> HolderIn(const fs::path& lockFile) {
    std::ifstream file(lockFile, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    const std::string contents{std::istreambuf_iterator<char>(file),
                               std::istreambuf_iterator<char>()};
    const int pid = LockedPid(contents);
    if (pid == 0 || pid == ::getpid() || !IsAlive(pid)) {
        return std::nullopt;
    }
    return LockHolder{pid, ProgramOf(pid)};
}

}  // namespace

std::optional<LockHolder> ForeignLockHolder(const std::string& device,
                                            const std::string& lockDirs) {
    const std::vector<std::string> names = LockNames(device);
    std::istringstream dirs(lockDirs);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        for (const std::string& name : names) {
            if (std::optional<LockHolder> holder = HolderIn(fs::path(dir) / ("LCK.." + name))) {
                return holder;
            }
        }
    }
    return std::nullopt;
}
