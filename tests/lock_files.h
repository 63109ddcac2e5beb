#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace probelyn {

// Lock files in the system's lock folders that name the device or the device
// it leads to, whole paths with '/' made '_'.
inline std::vector<std::string> LocksFor(const std::string& device) {
    namespace fs = std::filesystem;
    const auto mangled = [](std::string path) {
        std::replace(path.begin(), path.end(), '/', '_');
        return path;
    };
    std::error_code error;
    const fs::path canonical = fs::canonical(device, error);
    const std::string target = error ? std::string() : mangled(canonical.string());
    const std::string named = mangled(device);
    const auto endsWith = [](const std::string& text, const std::string& end) {
        return text.size() >= end.size() &&
               text.compare(text.size() - end.size(), end.size(), end) == 0;
    };
    std::vector<std::string> found;
    for (const char* folder : {"/var/lock", "/run/lock"}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_directory() &&
                (endsWith(name, named) || (!target.empty() && endsWith(name, target)))) {
                found.push_back(entry.path().string());
            }
        }
    }
    return found;
}

}  // namespace probelyn
