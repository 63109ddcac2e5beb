#include "fake_port.h"

#include <stdexcept>

#include "framing.h"
#include "probe_frames.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace probelyn {

void FakePort::Note(const std::string& text) {
    if (clock_ != nullptr) {
        const auto waited =
            std::chrono::duration_cast<std::chrono::microseconds>(clock_->Now() - noted_);
        if (noted_ != Clock::Duration{} && waited.count() > 0) {
            char waitLine[32];
            std::snprintf(waitLine, sizeof waitLine, "wait %g ms\n",
                          static_cast<double>(waited.count()) / 1000.0);
            transcript += waitLine;
        }
        noted_ = clock_->Now();
    }
    transcript += text + "\n";
}

void FakePort::Enter(const std::string& member) {
    calls.push_back(member);
    const auto failure = failures_.find(member);
    if (failure != failures_.end()) {
        throw failure->second;
    }
    if (faults_.count(member) != 0) {
        throw std::logic_error(member + " met a fault of the program");
    }
}

void FakePort::Fail(const std::string& member, LineError error, const std::string& text) {
    failures_.insert_or_assign(member, PortFailure(error, text));
}

int FakePort::Count(const std::string& member) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), member));
}

int FakePort::Open(const LineSettings& settings) {
    Enter("Open");
    line = settings.line.com.value_or(0);
    rate = settings.baud;
    framing = settings.framing;
    Note("open " + DisplayName(settings.line) + " " + std::to_string(rate) + " " + NameOf(framing));
    const auto refused = open_fails_at_rate.find(rate);
    if (refused != open_fails_at_rate.end()) {
        throw PortFailure(LineError::SettingRefused, refused->second);
    }
    const auto failing = open_fails_on_line.find(line);
    if (failing != open_fails_on_line.end()) {
        throw failing->second;
    }
    int result = open_result;
    if (!open_by_line.empty()) {
        const auto found = open_by_line.find(line);
        result = found == open_by_line.end() ? 0 : found->second;
    }
    open_ = result >= 1;
    if (on_open) {
        on_open(settings);
    }
    return result;
}

int FakePort::Close() {
    Enter("Close");
    Note("close");
    open_ = close_result >= 1;
    return close_result;
}

void FakePort::Arrive(Clock::Duration after, const std::string& bytes) {
    arrivals_.emplace(clock_->Now() + after, bytes);
}

void FakePort::DeliverDue() {
    while (clock_ != nullptr && !arrivals_.empty() && arrivals_.begin()->first <= clock_->Now()) {
        input += arrivals_.begin()->second;
        arrivals_.erase(arrivals_.begin());
    }
}

int FakePort::InputCount() {
    Enter("InputCount");
    DeliverDue();
    return static_cast<int>(input.size());
}

std::string FakePort::Read(int max) {
    Enter("Read");
    DeliverDue();
    const std::size_t n = std::min(input.size(), static_cast<std::size_t>(std::max(max, 0)));
    std::string taken = input.substr(0, n);
    input.erase(0, n);
    if (!taken.empty()) {
        Note("<< " + HexText(taken));
    }
    return taken;
}

void FakePort::Write(const std::string& bytes) {
    Enter("Write");
    if (!open_) {
        ++writes_while_closed;
    }
    written += bytes;
    Note(">> " + HexText(bytes));
    if (on_write) {
        on_write(bytes);
    }
}

void FakePort::DiscardInput() {
    Enter("DiscardInput");
    Note("discard");
    DeliverDue();
    input.clear();
}

bool FakePort::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    Enter("WaitForInput");
    if (stop.stop_requested()) {
        return false;
    }
    const Clock::Duration limit = clock_->Now() + timeout;
    const bool arrives = !arrivals_.empty() && arrivals_.begin()->first <= limit;
    if (stop_ != nullptr && stopAt_ <= limit && (!arrives || stopAt_ <= arrivals_.begin()->first)) {
        clock_->AdvanceTo(stopAt_);
        std::exchange(stop_, nullptr)->request_stop();
        return false;
    }
    if (arrives) {
        clock_->AdvanceTo(arrivals_.begin()->first);
        DeliverDue();
        return true;
    }
    clock_->AdvanceTo(limit);
    return false;
}

}  // namespace probelyn
