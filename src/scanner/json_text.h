#pragma once

#include <string>

namespace probelyn {

// JSON texts for the results and the trace. Every JSON text written is valid
// UTF-8, whatever bytes it is made from.

// Whether the bytes are well-formed UTF-8.
bool IsUtf8(const std::string& text);

// A JSON string literal of the text: quotes, backslashes and control
// characters escaped, each byte that is not part of well-formed UTF-8 made
// U+FFFD.
std::string JsonString(const std::string& text);

}  // namespace probelyn
