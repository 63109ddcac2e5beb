#pragma once

#include <optional>
#include <string>

// The three protocol variants, in the order the engine probes them at a
// station.
enum class Protocol { Ascii, Modbus, LyraBus };

// A protocol by its name on a command line: ascii, modbus or lyrabus.
std::optional<Protocol> ProtocolNamed(const std::string& name);
std::string NameOf(Protocol protocol);
