#pragma once

// The three protocol variants, in the order the engine probes them at a
// station.
enum class Protocol { Ascii, Modbus, LyraBus };
