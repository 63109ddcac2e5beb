#pragma once

#include <optional>
#include <string>

#include "port_component.h"

// A framing by its usual name: 8 data bits, then N, E or O for the parity,
// then 1 or 2 stop bits ("8N1", "8E1", "8O2"), the letter in either case.
// Nothing for any other name.
std::optional<Framing> FramingNamed(const std::string& name);
std::string NameOf(const Framing& framing);
