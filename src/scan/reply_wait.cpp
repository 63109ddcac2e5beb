#include "reply_wait.h"

#include <algorithm>
#include <chrono>

#include "port_failure.h"

namespace probelyn {

namespace {

// How often the line is looked at in the last moments of a wait.
constexpr Clock::Duration kFinalPollStep = std::chrono::microseconds(20);

Clock::Duration Ms(int ms) {
    return std::chrono::milliseconds(ms);
}

// Whether what came so far is, or may still become, an echo of the request:
// it begins with the whole request, or is a beginning of it.
bool MayBeEcho(const std::string& got, const std::string& sent) {
    if (sent.empty() || got.empty()) {
        return false;
    }
    const std::size_t n = std::min(got.size(), sent.size());
    return got.compare(0, n, sent, 0, n) == 0;
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

bool ReplyWait::LookFor(const std::string& Data, int Timeout, const std::string& sent) {
    const Clock::Duration start = clock_.Now();
    RunPendingWork();
    std::string reply;
    try {
        reply = Receive(static_cast<int>(Data.size()), start + Ms(Timeout), false, sent);
    } catch (const PortFailure& failure) {
        Record(failure);
        return false;
    }
    return FoldCase(reply.substr(0, Data.size())) == FoldCase(Data);
}

std::string ReplyWait::WaitFor(int Length, int Timeout, const std::string& sent) {
    const Clock::Duration start = clock_.Now();
    RunPendingWork();
    const std::string reply = Receive(std::max(Length, 0), start + Ms(Timeout), true, sent);
    if (Length < 0 || reply.size() < static_cast<std::size_t>(Length)) {
        return {};
    }
    return reply.substr(0, static_cast<std::size_t>(Length));
}

void ReplyWait::AwaitQuiet(Clock::Duration quiet, int Timeout) {
    const Clock::Duration deadline = clock_.Now() + Ms(Timeout);
    try {
        for (Clock::Duration now = clock_.Now(); now < deadline && !stop_.stop_requested();
             now = clock_.Now()) {
            if (!Prt_.WaitForInput(std::min(quiet, deadline - now), stop_)) {
                return;
            }
        }
    } catch (const PortFailure& failure) {
        Record(failure);  // the discard that follows meets it too
    }
}

void ReplyWait::Record(const PortFailure& failure) {
    if (record_ != nullptr) {
        *record_ = failure.Record();
    }
}

void ReplyWait::RunPendingWork() {
    if (pendingWork_) {
        const std::function<void()> work = std::move(pendingWork_);
        pendingWork_ = nullptr;
        work();
    }
}

std::string ReplyWait::Receive(int want, Clock::Duration deadline, bool passFailures,
                               const std::string& sent) {
    const auto wanted = static_cast<std::size_t>(want);
    std::string got;
    // One read, unless the bytes begin as an echo: then on to its end and the
    // wanted bytes after it, while there is time.
    do {
        const std::size_t target = MayBeEcho(got, sent) ? sent.size() + wanted : wanted;
        Await(static_cast<int>(target - std::min(target, got.size())), deadline, passFailures);
        got += Prt_.Read(kReadSize);
    } while (MayBeEcho(got, sent) && got.size() < sent.size() + wanted && clock_.Now() < deadline &&
             !stop_.stop_requested());
    if (MayBeEcho(got, sent) && got.size() >= sent.size()) {
        got.erase(0, sent.size());
    }
    lastReply_ = got;
    lastDeadline_ = deadline;
    return got;
}

void ReplyWait::ReadOn(std::string& reply, const FrameSize& size, Clock::Duration deadline,
                       Clock::Duration quiet) {
    try {
        for (Clock::Duration now = clock_.Now();
             reply.size() < size(reply) && now < deadline && !stop_.stop_requested();
             now = clock_.Now()) {
            if (Prt_.InputCount() > 0) {
                const std::size_t wanted =
                    std::min<std::size_t>(size(reply) - reply.size(), kReadSize);
                reply += Prt_.Read(static_cast<int>(wanted));
            } else if (!Prt_.WaitForInput(quiet > Clock::Duration::zero()
                                              ? std::min(quiet, deadline - now)
                                              : deadline - now,
                                          stop_) &&
                       quiet > Clock::Duration::zero()) {
                return;  // quiet: the frame has ended
            }
        }
    } catch (const PortFailure& failure) {
        Record(failure);
    }
}

void ReplyWait::Await(int want, Clock::Duration deadline, bool passFailures) {
    for (;;) {
        const Clock::Duration now = clock_.Now();
        if (now >= deadline || stop_.stop_requested()) {
            return;
        }
        try {
            if (Prt_.InputCount() >= want) {
                return;
            }
        } catch (const PortFailure& failure) {
            if (passFailures) {
                throw;
            }
            Record(failure);
            clock_.SleepFor(deadline - now, stop_);
            continue;
        }
        BlockUntilInputOr(deadline, now, passFailures);
    }
}

void ReplyWait::BlockUntilInputOr(Clock::Duration deadline, Clock::Duration now,
                                  bool passFailures) {
    const Clock::Duration left = deadline - now;
    if (left <= Clock::kWakeLatency) {
        // Blocking would wake too late; the last moments poll the line, so a
        // reply that completes then is judged at once.
        clock_.SleepFor(std::min(left, kFinalPollStep), stop_);
        return;
    }
    try {
        Prt_.WaitForInput(left - Clock::kWakeLatency, stop_);
    } catch (const PortFailure& failure) {
        if (passFailures) {
            throw;
        }
        Record(failure);
        clock_.SleepFor(deadline - clock_.Now(), stop_);
    }
}

}  // namespace probelyn
