#include "com_port_names.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace probelyn {

ComPortNames ComPortNames::FromDevices(std::vector<std::string> devices) {
    ComPortNames names;
    names.devices_ = std::move(devices);
    return names;
}

ComPortNames ComPortNames::Native() {
    ComPortNames names;
    names.native_ = true;
    return names;
}

std::optional<std::string> ComPortNames::DeviceFor(int n) const {
    if (n < 1) {
        return std::nullopt;
    }
    if (native_) {
        return DisplayName({.com = n});
    }
    const auto index = static_cast<std::size_t>(n - 1);
    if (index >= devices_.size()) {
        return std::nullopt;
    }
    return devices_[index];
}

std::vector<LineName> ComPortNames::Lines() const {
    std::vector<LineName> lines;
    const std::size_t count = native_ ? kHighestComPort : devices_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const int n = static_cast<int>(i) + 1;
        lines.push_back(
            {n <= kHighestComPort ? std::optional<int>(n) : std::nullopt, *DeviceFor(n)});
    }
    return lines;
}

namespace {

// The index after a family's name (ttyUSB12 -> 12), or nothing when the name
// is not the family followed by digits alone.
std::optional<long> IndexIn(const std::string& name, const std::string& family) {
    if (name.size() <= family.size() || name.compare(0, family.size(), family) != 0) {
        return std::nullopt;
    }
    const std::string digits = name.substr(family.size());
    if (digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return std::stol(digits);
}

}  // namespace

std::vector<std::string> SerialDeviceOrder(
    const std::vector<std::string>& names,
    const std::function<bool(const std::string&)>& isDevice) {
    std::vector<std::string> ordered;
    for (const std::string& family : kSerialFamilies) {
        std::vector<std::pair<long, std::string>> members;
        for (const std::string& name : names) {
            if (const std::optional<long> index = IndexIn(name, family)) {
                members.emplace_back(*index, name);
            }
        }
        std::sort(members.begin(), members.end());
        for (const auto& member : members) {
            if (isDevice(member.second)) {
                ordered.push_back(member.second);
            }
        }
    }
    return ordered;
}

std::vector<std::string> NumberSerialDevices(
    const std::string& root, const std::function<bool(const std::string&)>& isDevice) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
        std::error_code ignored;
        if (std::filesystem::exists(entry.path(), ignored)) {  // a link that leads somewhere
            names.push_back(entry.path().filename().string());
        }
    }
    const std::filesystem::path folder(root);
    std::vector<std::string> devices;
    for (const std::string& name : SerialDeviceOrder(
             names, [&](const std::string& n) { return isDevice((folder / n).string()); })) {
        devices.push_back((folder / name).string());
    }
    return devices;
}

}  // namespace probelyn
