#include "reply_wait.h"

#include <chrono>

#include "port_failure.h"

namespace {

using std::chrono::milliseconds;

Clock::Duration Ms(int ms) {
    return milliseconds(ms);
}

}  // namespace

std::string FoldCase(std::string bytes) {
    for (char& c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x41 && b <= 0x5A) {
            c = static_cast<char>(b + 0x20);
        }
    }
    return bytes;
}

bool ReplyWait::LookFor(const std::string& Data, int Timeout) {
    const Clock::Duration start = clock_.Now();
    Await(static_cast<int>(Data.size()), start + Ms(Timeout), false);
    std::string reply;
    try {
        reply = Prt_.Read(kReadSize);
    } catch (const PortFailure&) {
        return false;
    }
    return FoldCase(reply.substr(0, Data.size())) == FoldCase(Data);
}

std::string ReplyWait::WaitFor(int Length, int Timeout) {
    const Clock::Duration start = clock_.Now();
    Await(Length, start + Ms(Timeout), true);
    const std::string reply = Prt_.Read(kReadSize);
    if (Length < 0 || reply.size() < static_cast<std::size_t>(Length)) {
        return {};
    }
    return reply.substr(0, static_cast<std::size_t>(Length));
}

void ReplyWait::Await(int want, Clock::Duration deadline, bool passFailures) {
    for (;;) {
        const Clock::Duration now = clock_.Now();
        if (now >= deadline) {
            return;
        }
        try {
            if (Prt_.InputCount() >= want) {
                return;
            }
        } catch (const PortFailure&) {
            if (passFailures) {
                throw;
            }
            clock_.SleepFor(deadline - now);
            continue;
        }
        BlockUntilInputOr(deadline, now, passFailures);
    }
}

void ReplyWait::BlockUntilInputOr(Clock::Duration deadline, Clock::Duration now,
                                  bool passFailures) {
    const Clock::Duration left = deadline - now;
    const auto wholeMs = std::chrono::duration_cast<milliseconds>(left);
    if (wholeMs.count() < 1) {
        // The line blocks in whole milliseconds; the last fraction is slept.
        clock_.SleepFor(left);
        return;
    }
    try {
        Prt_.WaitForInput(static_cast<int>(wholeMs.count()));
    } catch (const PortFailure&) {
        if (passFailures) {
            throw;
        }
        clock_.SleepFor(deadline - clock_.Now());
    }
}
