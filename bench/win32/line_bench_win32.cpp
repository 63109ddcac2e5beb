// The Windows line's waits, as scripts/bench-windows runs them under Wine:
// the CPU this process uses while waits on a silent COM port go by, how long
// a stop takes to end a long wait and then to close the line, and the time
// from sending a request to counting its reply as a reply wait counts it.
//   line_bench_win32.exe SILENT_PORT ANSWERING_PORT
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "port_line.h"

using namespace probelyn;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

LineSettings At(const char* port) {
    return {.line = {.com = std::nullopt, .device = port}, .baud = 115200};
}

void Silent(const char* port) {
    PortLine line;
    line.Open(At(port));
    const double before = CpuSeconds();
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(10)) {
        line.WaitForInput(std::chrono::milliseconds(107), {});  // a reply window at 9600
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("waits on a silent port for %.1f s: this process's CPU %.2f %% of a core\n", wall,
                (CpuSeconds() - before) / wall * 100);
}

void Stops(const char* port) {
    std::vector<double> stopped;
    std::vector<double> closed;
    for (int i = 0; i < 20; ++i) {
        auto line = std::make_unique<PortLine>();
        line->Open(At(port));
        std::stop_source stop;
        Clock::time_point asked;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + 7 * i));
            asked = Clock::now();
            stop.request_stop();
        });
        line->WaitForInput(std::chrono::seconds(20), stop.get_token());
        const Clock::time_point returned = Clock::now();
        stopper.join();
        line.reset();
        stopped.push_back(Ms(returned - asked));
        closed.push_back(Ms(Clock::now() - asked));
    }
    std::printf(
        "a stop during a 20 s wait: the wait ends after %.1f ms (median; most %.1f), "
        "the line is closed after %.1f ms (most %.1f)\n",
        Median(stopped), *std::max_element(stopped.begin(), stopped.end()), Median(closed),
        *std::max_element(closed.begin(), closed.end()));
}

// An ASCII instrument at 115200 baud that answers station 1 20 ms after the
// request: the time from sending the request to counting the reply, as the
// probe's wait counts it.
void Replies(const char* port) {
    PortLine line;
    line.Open(At(port));
    std::vector<double> took;
    for (int i = 0; i < 100; ++i) {
        line.DiscardInput();
        const Clock::time_point sent = Clock::now();
        line.Write("!001:XXY?\r");
        while (line.InputCount() < 2 && Clock::now() - sent < std::chrono::seconds(2)) {
            line.WaitForInput(std::chrono::milliseconds(110), {});
        }
        took.push_back(Ms(Clock::now() - sent));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    std::printf(
        "a reply given 20 ms after its request counted after %.2f ms (median of 100; "
        "most %.2f)\n",
        Median(took), *std::max_element(took.begin(), took.end()));
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: line_bench_win32 SILENT_PORT ANSWERING_PORT\n");
        return 2;
    }
    Silent(argv[1]);
    Stops(argv[1]);
    Replies(argv[2]);
    return 0;
}
