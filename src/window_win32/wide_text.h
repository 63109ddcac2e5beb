#pragma once

#include <windows.h>

#include <string>

namespace probelyn {

// The window core's UTF-8 as Windows' UTF-16, and back.
inline std::wstring Wide(const std::string& text) {
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          size);
    return wide;
}

// Line ends as an edit control shows them.
inline std::wstring WithCrLf(const std::string& text) {
    std::wstring out;
    for (const wchar_t c : Wide(text)) {
        if (c == L'\n' && (out.empty() || out.back() != L'\r')) {
            out += L'\r';
        }
        out += c;
    }
    return out;
}

}  // namespace probelyn
