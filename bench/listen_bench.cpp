// Listening: for a simulated Modbus bus (8N1, three stations polled every
// 100 ms, all answering) at each of the ten rates, the time probelyn-scan's
// listen takes to identify it through the real line on a pty, with the
// default plan (ten rates from the fastest, three framings, 1 s a setting);
// then how many times random bytes were taken for traffic.
#include <chrono>
#include <cstdio>
#include <random>

#include "bus_line.h"
#include "listen_run.h"
#include "port_line.h"
#include "scan_plan.h"

using namespace probelyn;

namespace {

struct NoSteps : ListenSteps {
    void Listening(const LineSettings&, int, int) override {}
    void Failed(const LineSettings&, const ErrorRecord&) override {}
};

void TimeToIdentify() {
    std::printf("%8s %12s %10s %s\n", "rate", "identified", "seconds", "stations");
    for (const int rate : kScanRates) {
        BusLine bus({Protocol::Modbus, {rate, {}}, {1, 2, 3}, {1, 2, 3}});
        PortLine line;
        PortAccess access(line);
        SteadyClock clock;
        ListenPlan plan;
        plan.line = {.com = std::nullopt, .device = bus.Device()};
        plan.rates.assign(kScanRates.begin(), kScanRates.end());
        plan.framings = {Framing{}, {Parity::Even, 1}, {Parity::Odd, 1}};
        NoSteps steps;
        const auto start = std::chrono::steady_clock::now();
        const ListenOutcome outcome = ListenRun(access, clock).ListenNow(plan, steps, {});
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const bool heard = outcome.kind == ListenOutcome::Kind::Heard;
        std::printf("%8d %12s %10.1f %zu\n", rate,
                    heard && outcome.hearing.baud == rate ? "yes" : "NO", seconds,
                    heard ? outcome.hearing.heard.front().polled.size() : 0);
    }
}

void Noise(std::size_t megabytes) {
    std::mt19937 random(4242);
    long identified = 0;
    for (const int rate : kScanRates) {
        Traffic traffic(rate, {Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus});
        std::chrono::nanoseconds at{};
        for (std::size_t sent = 0; sent < megabytes * 1'000'000 / kScanRates.size();) {
            std::string piece(1 + random() % 512, '\0');
            for (char& c : piece) {
                c = static_cast<char>(random());
                sent += 1;
            }
            std::string marked;
            for (const char c : piece) {
                marked += c;
                marked += c == '\xFF' ? "\xFF" : "";
            }
            at +=
                std::chrono::nanoseconds(10'000'000'000LL / rate * static_cast<long>(piece.size()));
            traffic.Take(marked, at);
            for (const Heard& heard : traffic.Heards()) {
                identified += Identified(heard, traffic.Errors()) ? 1 : 0;
            }
        }
    }
    std::printf("\n%zu MB of random bytes at the ten rates: taken for traffic %ld times\n",
                megabytes, identified);
}

}  // namespace

int main() {
    TimeToIdentify();
    Noise(100);
    return 0;
}
