// The Win32 window under Wine, measured from outside: launch to window shown
// (median of five starts) and the window process's CPU during a silent scan
// (a Modbus instrument on COM1 asked in LyraBus; scripts/bench-windows reads
// the CPU time over the 20 s between the two marks).
//   window_bench_win32 PROGRAM.exe
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "window_driver.h"

using namespace probelyn;

namespace {

// Tells scripts/bench-windows, which reads the window process's CPU time from
// the system (Wine does not report another process's).
void Mark(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
    if (const wchar_t* file = _wgetenv(L"PROBELYN_BENCH_MARKS")) {
        if (FILE* marks = _wfopen(file, L"a")) {
            std::fprintf(marks, "%s\n", what);
            std::fclose(marks);
        }
    }
}

void CloseAll(WindowDriver& driver) {
    ::PostMessageW(driver.Window(0), WM_CLOSE, 0, 0);
    ::PostMessageW(driver.Window(0), WM_CLOSE, 0, 0);
    driver.ExitStatus();
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_bench_win32 PROGRAM.exe\n");
        return 2;
    }
    std::vector<double> launches;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        WindowDriver driver(argv[1]);
        driver.Window();
        launches.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        driver.WaitUntil([&] { return driver.Text(ControlId::Status) == L"Ready"; });
        CloseAll(driver);
    }
    std::sort(launches.begin(), launches.end());
    std::printf("launch to window shown: median %.0f ms (of 5: %.0f to %.0f ms)\n", launches[2],
                launches.front(), launches.back());

    WindowDriver driver(argv[1]);
    driver.WaitUntil([&] { return driver.Text(ControlId::Status) == L"Ready"; });
    driver.PressGo();
    driver.WaitUntil([&] { return driver.Text(ControlId::Status).rfind(L"Trying ", 0) == 0; });
    Mark("silent scan under way");
    ::Sleep(20000);
    Mark("silent scan measured");
    CloseAll(driver);
    return 0;
}
