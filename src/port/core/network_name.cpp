#include "network_name.h"

#include <charconv>

namespace probelyn {

namespace {

constexpr const char* kRfc2217Scheme = "rfc2217://";
constexpr const char* kTcpScheme = "tcp://";

std::optional<int> PortNumber(const std::string& text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

// HOST:PORT, the host in brackets when it holds colons.
ParsedAddress HostAndPort(const std::string& rest, NetworkAddress address) {
    std::size_t colon = rest.rfind(':');
    std::string host = rest.substr(0, colon == std::string::npos ? 0 : colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of(":[]") != std::string::npos) {
        return {{}, "an IPv6 address goes in brackets, as [::1]:4001"};
    }
    if (colon == std::string::npos || host.empty()) {
        return {{}, "a line over the network is HOST:PORT after the scheme"};
    }
    const std::optional<int> port = PortNumber(rest.substr(colon + 1));
    if (!port) {
        return {{}, "the port is a number from 1 to 65535, not '" + rest.substr(colon + 1) + "'"};
    }
    address.host = host;
    address.port = *port;
    return {address, {}};
}

}  // namespace

bool IsNetworkName(const std::string& name) {
    return name.starts_with(kRfc2217Scheme) || name.starts_with(kTcpScheme);
}

ParsedAddress ParseNetworkName(const std::string& name) {
    using Kind = NetworkAddress::Kind;
    const bool rfc2217 = name.starts_with(kRfc2217Scheme);
    if (!rfc2217 && !name.starts_with(kTcpScheme)) {
        return {{}, "a line over the network begins with rfc2217:// or tcp://"};
    }
    const std::string scheme = rfc2217 ? kRfc2217Scheme : kTcpScheme;
    ParsedAddress parsed =
        HostAndPort(name.substr(scheme.size()), {rfc2217 ? Kind::Rfc2217 : Kind::RawTcp});
    if (!parsed.error.empty()) {
        parsed.error = "'" + name + "': " + parsed.error;
    }
    return parsed;
}

std::string HostPortText(const std::string& host, int port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string ServerText(const NetworkAddress& address) {
    return HostPortText(address.host, address.port);
}

}  // namespace probelyn
