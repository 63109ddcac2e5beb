#pragma once

#include <optional>
#include <string>

namespace probelyn {

// The three protocol variants, in the order the engine probes them at a
// station.
enum class Protocol { Ascii, Modbus, LyraBus };

// A protocol's names, one for each place it is named. The window's own
// spellings ("ModBus", "Lyrabus" in its found text, "LyrASCII" in its list)
// are kept as it has always shown them.
struct ProtocolNames {
    Protocol protocol;
    const char* command;  // on a command line and in JSON: "modbus"
    const char* heard;    // in what a listen reports: "Modbus"
    const char* found;    // in the window's found text: "ModBus"
    const char* listed;   // the window's protocol list entry: "Modbus"
};

// Every protocol's names, in the order of the window's protocol list.
inline constexpr ProtocolNames kProtocolNames[] = {
    {Protocol::LyraBus, "lyrabus", "LyraBus", "Lyrabus", "LyraBus"},
    {Protocol::Ascii, "ascii", "ASCII", "ASCII", "LyrASCII"},
    {Protocol::Modbus, "modbus", "Modbus", "ModBus", "Modbus"},
};

const ProtocolNames& NamesOf(Protocol protocol);
// A protocol by its name on a command line: ascii, modbus or lyrabus.
std::optional<Protocol> ProtocolNamed(const std::string& name);
// Its name on a command line and in JSON.
std::string NameOf(Protocol protocol);

}  // namespace probelyn
