#include "device_catalogue.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// The device a path leads to (a link followed), or the path itself.
std::string Resolved(const std::string& path) {
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    return error ? path : target.string();
}

std::string ByIdName(const std::string& target, const std::string& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (Resolved(entry.path().string()) == target) {
            return entry.path().string();
        }
    }
    return {};
}

}  // namespace

std::string DescribeDevice(const std::string& device, const DeviceFacts& facts) {
    std::string text = device;
    std::string about = facts.product;
    if (!facts.manufacturer.empty()) {
        about += about.empty() ? facts.manufacturer : " (" + facts.manufacturer + ")";
    }
    if (!facts.serialNumber.empty()) {
        about += (about.empty() ? "serial " : ", serial ") + facts.serialNumber;
    }
    if (!about.empty()) {
        text += " \u2014 " + about;
    }
    if (!facts.byIdName.empty()) {
        text += "\n" + facts.byIdName;
    }
    return text;
}

DeviceCatalogue::DeviceCatalogue(std::string byIdFolder)
    : byIdFolder_(std::move(byIdFolder)), known_(KnownSerialDevices()) {}

DeviceFacts DeviceCatalogue::FactsOf(const std::string& device) const {
    const std::string target = Resolved(device);
    DeviceFacts facts;
    for (const auto& [known, about] : known_) {
        if (known == target || known == device) {
            facts = about;
            break;
        }
    }
    facts.byIdName = ByIdName(target, byIdFolder_);
    return facts;
}
