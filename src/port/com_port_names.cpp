#include "com_port_names.h"

#include <filesystem>
#include <system_error>

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
        return "COM" + std::to_string(n);
    }
    const auto index = static_cast<std::size_t>(n - 1);
    if (index >= devices_.size()) {
        return std::nullopt;
    }
    return devices_[index];
}

std::vector<std::string> NumberSerialDevices(const std::string& root,
                                             const std::vector<std::string>& patterns) {
    std::vector<std::string> devices;
    for (const std::string& pattern : patterns) {
        for (int i = 0;; ++i) {
            const std::filesystem::path path =
                std::filesystem::path(root) / (pattern + std::to_string(i));
            std::error_code ignored;
            if (!std::filesystem::exists(path, ignored)) {
                break;
            }
            devices.push_back(path.string());
        }
    }
    return devices;
}
