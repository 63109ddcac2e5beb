#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scan_host.h"

// A window stand-in for the scan: records what the scan shows, answers its
// questions as told, and runs a hook at each event-pump turn, where a real
// window would handle a Stop press or a close request.
class FakeScanHost : public ScanHost {
  public:
    struct Box {
        std::string title;
        std::string text;
    };

    void SetStatus(const std::string& Message) override { statuses.push_back(Message); }
    void SetBar(int Current, int Max) override { bars.emplace_back(Current, Max); }
    void ClearBar() override { bar_cleared = true; }
    void DrawProgress() override { ++draws; }
    void DoFound(const std::string& Txt) override {
        found.push_back(Txt);
        statuses.push_back("Device Found: " + Txt);
    }
    bool AskYesNo(const std::string& title, const std::string& text) override {
        questions.push_back({title, text});
        return answer_yes;
    }
    void Warn(const std::string& title, const std::string& text) override {
        warnings.push_back({title, text});
    }
    void PumpEvents() override {
        ++pumps;
        if (on_pump) {
            on_pump(pumps);
        }
    }
    int SelectedLine() override { return line; }
    int SelectedProtocol() override { return protocol; }
    void EnablePortList(bool enabled) override { port_list_enabled = enabled; }
    bool CancelRequested() override { return cancel; }
    void ClearCancelRequested() override { cancel = false; }
    bool CloseRequested() override { return close; }
    void CloseWindow() override { ++window_closes; }

    int line = 1;
    int protocol = 1;
    bool answer_yes = false;
    std::function<void(int)> on_pump;

    std::vector<std::string> statuses;
    std::vector<std::pair<int, int>> bars;
    std::vector<std::string> found;
    std::vector<Box> questions;
    std::vector<Box> warnings;
    bool bar_cleared = false;
    int pumps = 0;
    int draws = 0;
    bool port_list_enabled = false;
    bool cancel = false;
    bool close = false;
    int window_closes = 0;
};
