#include "line_name.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace probelyn {

namespace {

// n of "COMn" (either case), or nothing for any other name.
std::optional<int> ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) {
        return std::nullopt;
    }
    std::string prefix = name.substr(0, 3);
    std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::string digits = name.substr(3);
    if (prefix != "COM" || !std::all_of(digits.begin(), digits.end(),
                                        [](unsigned char c) { return std::isdigit(c); })) {
        return std::nullopt;
    }
    return std::stoi(digits);
}

}  // namespace

ParsedLine ParseLineName(const std::string& given) {
    if (const std::optional<int> n = ComNumber(given)) {
        return {LineName{.com = n}, {}};
    }
    if (!IsNetworkName(given)) {
        return {LineName{.device = given}, {}};
    }
    ParsedAddress parsed = ParseNetworkName(given);
    if (!parsed.address) {
        return {std::nullopt, parsed.error};
    }
    return {LineName{.device = given, .network = std::move(parsed.address)}, {}};
}

LineAbilities AbilitiesOf(const LineName& line) {
    if (line.network && line.network->kind == NetworkAddress::Kind::RawTcp) {
        return {false, false, false};  // bytes only
    }
    return {};
}

std::string DisplayName(const LineName& line) {
    if (!line.com) {
        return line.device;
    }
    const std::string com = "COM" + std::to_string(*line.com);
    if (line.device.empty() || line.device == com) {
        return com;
    }
    return com + " (" + line.device + ")";
}

std::string ResolvedDevice(const std::string& path) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    return error ? path : target.string();
}

}  // namespace probelyn
