#pragma once

#include <optional>
#include <string>
#include <vector>

namespace probelyn {

// What a host name resolves to: its numeric addresses ("127.0.0.1",
// "::1"), or, when none, why.
struct Resolved {
    std::vector<std::string> addresses;
    std::string error;

    friend bool operator==(const Resolved&, const Resolved&) = default;
};

// A serial line at a server on the network, by the name it is given:
// rfc2217://HOST:PORT (the server sets rate and framing as asked, RFC 2217)
// or tcp://HOST:PORT (bytes only, at whatever the server is set to); an IPv6
// address in brackets, [::1]. Resolved once, where it is known to be
// needed, and then kept with it.
struct NetworkAddress {
    enum class Kind { Rfc2217, RawTcp };
    Kind kind = Kind::Rfc2217;
    std::string host;
    int port = 0;
    std::optional<Resolved> resolved;

    friend bool operator==(const NetworkAddress&, const NetworkAddress&) = default;
};

// Whether the name is meant as a line over the network (it begins with one
// of the two schemes), well formed or not.
bool IsNetworkName(const std::string& name);

// The address the name gives, or why it gives none.
struct ParsedAddress {
    std::optional<NetworkAddress> address;
    std::string error;
};
ParsedAddress ParseNetworkName(const std::string& name);

// "127.0.0.1:4001", "[::1]:4001": a host and port as messages name them.
std::string HostPortText(const std::string& host, int port);
// The server as messages name it.
std::string ServerText(const NetworkAddress& address);

}  // namespace probelyn
