#include "fake_port.h"

#include <algorithm>

void FakePort::Enter(const std::string& member) {
    calls.push_back(member);
    const auto failure = failures_.find(member);
    if (failure != failures_.end()) {
        throw failure->second;
    }
}

void FakePort::Fail(const std::string& member, int number, const std::string& text) {
    failures_.insert_or_assign(member, PortFailure(number, text));
}

int FakePort::Count(const std::string& member) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), member));
}

void FakePort::PortNumber(int n) {
    Enter("PortNumber");
    number_ = n;
}

void FakePort::BaudRate(int r) {
    Enter("BaudRate");
    rate = r;
}

int FakePort::Open() {
    Enter("Open");
    int result = open_result;
    if (!open_by_line.empty()) {
        const auto found = open_by_line.find(number_);
        result = found == open_by_line.end() ? 0 : found->second;
    }
    is_open = result >= 1;
    return result;
}

int FakePort::Close() {
    Enter("Close");
    is_open = false;
    return close_result;
}

int FakePort::InputCount() {
    Enter("InputCount");
    return static_cast<int>(input.size());
}

std::string FakePort::Read(int max) {
    Enter("Read");
    const std::size_t n = std::min(input.size(), static_cast<std::size_t>(std::max(max, 0)));
    std::string taken = input.substr(0, n);
    input.erase(0, n);
    return taken;
}

void FakePort::Write(const std::string& bytes) {
    Enter("Write");
    written += bytes;
}

void FakePort::DiscardInput() {
    Enter("DiscardInput");
    input.clear();
}
