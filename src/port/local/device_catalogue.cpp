#include "device_catalogue.h"

#include "line_name.h"

#include <filesystem>

namespace probelyn {

namespace {

namespace fs = std::filesystem;

std::string ByIdName(const std::string& target, const std::string& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (ResolvedDevice(entry.path().string()) == target) {
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
    const std::string target = ResolvedDevice(device);
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

}  // namespace probelyn
