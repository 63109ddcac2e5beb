#pragma once

#include <optional>
#include <string>

namespace probelyn {

// A serial line at a server on the network, by the name it is given:
// rfc2217://HOST:PORT (the server sets rate and framing as asked, RFC 2217)
// or tcp://HOST:PORT (bytes only, at whatever the server is set to); an IPv6
// address in brackets, [::1].
struct NetworkAddress {
    enum class Kind { Rfc2217, RawTcp };
    Kind kind = Kind::Rfc2217;
    std::string host;
    int port = 0;
};

// Whether the name is meant as a line over the network (it begins with one
// of the two schemes), well formed or not.
bool IsNetworkName(const std::string& name);

// Whether the name is that of a raw TCP line (tcp://).
bool IsRawTcpName(const std::string& name);

// The address the name gives, or why it gives none.
struct ParsedAddress {
    std::optional<NetworkAddress> address;
    std::string error;
};
ParsedAddress ParseNetworkName(const std::string& name);

// "127.0.0.1:4001", "[::1]:4001": the server as messages name it.
std::string ServerText(const NetworkAddress& address);

}  // namespace probelyn
