// Takes a picture of the real Win32 window during an example scan:
//   probelyn-shot-win32 PROGRAM.exe OUTPUT.png
// A simulated LyraBus instrument beyond station 100 stands behind a COM port
// of the Wine prefix (scripts/screenshot sets it up). The picture is the
// window with its frame, as the screen shows it.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "window_driver.h"

using namespace probelyn;

namespace {

std::uint32_t Crc(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}

std::string Big(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string Chunk(const std::string& kind, const std::string& body) {
    return Big(static_cast<std::uint32_t>(body.size())) + kind + body + Big(Crc(kind + body));
}

// The rows in a zlib stream of stored blocks: no compression needed for a
// picture this small.
std::string Stored(const std::string& raw) {
    std::string out = "\x78\x01";
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const unsigned char c : raw) {
        a = (a + c) % 65521U;
        b = (b + a) % 65521U;
    }
    for (std::size_t at = 0; at == 0 || at < raw.size(); at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        const bool last = at + n >= raw.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(n & 0xFF);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(~n & 0xFF);
        out += static_cast<char>((~n >> 8) & 0xFF);
        out += raw.substr(at, n);
    }
    return out + Big((b << 16) | a);
}

bool SavePng(const char* path, int width, int height, const std::vector<unsigned char>& bgr) {
    std::string raw;
    const int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &bgr[static_cast<std::size_t>(y * stride + x * 3)];
            raw += static_cast<char>(p[2]);
            raw += static_cast<char>(p[1]);
            raw += static_cast<char>(p[0]);
        }
    }
    const std::string header = Big(static_cast<std::uint32_t>(width)) +
                               Big(static_cast<std::uint32_t>(height)) +
                               std::string("\x08\x02\x00\x00\x00", 5);
    std::ofstream out(path, std::ios::binary);
    out << "\x89PNG\r\n\x1a\n"
        << Chunk("IHDR", header) << Chunk("IDAT", Stored(raw)) << Chunk("IEND", "");
    return static_cast<bool>(out.flush());
}

bool Shoot(HWND window, const char* path) {
    RECT frame{};
    ::GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    ::SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 24, BI_RGB};
    std::vector<unsigned char> pixels(static_cast<std::size_t>(((width * 3 + 3) & ~3) * height));
    ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return SavePng(path, width, height, pixels);
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: probelyn-shot-win32 PROGRAM.exe OUTPUT.png\n");
        return 2;
    }
    char output[MAX_PATH] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, output, MAX_PATH, nullptr, nullptr);
    WindowDriver driver(argv[1]);
    const HWND window = driver.Window();
    if (window == nullptr ||
        !driver.WaitUntil([&] { return driver.Text(ControlId::Status) == L"Ready"; })) {
        std::fprintf(stderr, "probelyn-shot-win32: the window did not get ready (%ls)\n",
                     window != nullptr ? driver.Text(ControlId::Status).c_str() : L"none");
        return 1;
    }
    driver.PressGo();  // LyraBus, the first port
    const bool scanning = driver.WaitUntil([&] {
        const std::wstring status = driver.Text(ControlId::Status);
        const std::wstring trying = L"Trying 460800 baud on COM1 for station number ";
        return status.rfind(trying, 0) == 0 && std::stoi(status.substr(trying.size())) >= 100;
    });
    if (!scanning) {
        std::fprintf(stderr, "probelyn-shot-win32: the scan did not reach station 100 (%ls)\n",
                     driver.Text(ControlId::Status).c_str());
    }
    ::Sleep(300);
    const bool saved = scanning && Shoot(window, output);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    driver.ExitStatus();
    return saved ? 0 : 1;
}
