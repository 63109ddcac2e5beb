#pragma once

#include <functional>
#include <vector>

#include "scan_steps.h"

namespace probelyn {

// A front end for the engine: records every step and notice, answers the
// extended-scan question as told, and runs a hook at each event-loop turn,
// where a real front end would see a Stop press.
class FakeScanSteps : public ScanSteps {
  public:
    void Progress(const ScanStep& step) override {
        steps.push_back(step);
        if (on_progress) {
            on_progress(step);
        }
    }
    void TurnEventLoop() override {
        ++turns;
        if (on_turn) {
            on_turn(turns);
        }
    }
    void Report(const Notice& notice) override { notices.push_back(notice); }
    bool AskExtendedScan() override {
        ++questions;
        return answer_yes;
    }
    void WhatAnswered(const Answered& a) override { answered.push_back(a); }
    void Identified(const Find&, const Identity& identity) override {
        identities.push_back(identity);
        identifiedAfterFinds.push_back(static_cast<int>(Noticed(Notice::Kind::Found).size()));
    }

    // The notices of one kind.
    std::vector<Notice> Noticed(Notice::Kind kind) const {
        std::vector<Notice> found;
        for (const Notice& n : notices) {
            if (n.kind == kind) {
                found.push_back(n);
            }
        }
        return found;
    }

    bool answer_yes = false;
    std::function<void(int)> on_turn;
    std::function<void(const ScanStep&)> on_progress;

    std::vector<ScanStep> steps;
    std::vector<Notice> notices;
    std::vector<Answered> answered;
    std::vector<Identity> identities;
    std::vector<int> identifiedAfterFinds;  // how many finds were told before each
    int turns = 0;
    int questions = 0;
};

}  // namespace probelyn
