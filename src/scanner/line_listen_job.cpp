#include "line_listen_job.h"

#include <algorithm>

#include "listen_run.h"

namespace probelyn {

LineListenJob::LineListenJob(LineName name, ListenPlan plan, ScanReport& report, TraceFile* trace,
                             std::stop_source& stopAll, LineProgress& progress)
    : LineJob(std::move(name), report, trace, stopAll, progress), plan_(std::move(plan)) {
    plan_.line = name_;
    progress_.total = static_cast<int>(plan_.rates.size() * plan_.framings.size());
}

void LineListenJob::Run() {
    OnLine([this](PortAccess& access, Clock& clock) {
        ListenRun run(access, clock);
        const ListenOutcome outcome = run.ListenNow(plan_, *this, stopAll_.get_token());
        opened_ = tried_ > failed_;
        if (outcome.kind == ListenOutcome::Kind::Heard) {
            ++finds_;
            report_.Heard(name_, outcome.hearing);
        } else if (outcome.kind == ListenOutcome::Kind::Unfinished) {
            endedEarly_ = outcome.at;
        }
    });
}

// The rate's remaining framings, then every later rate's:
// "8E1, 8O1 at 230400 baud; 8N1, 8E1, 8O1 at 9 rates from 115200 to 2400 baud".
std::string LineListenJob::NotTried() const {
    if (!endedEarly_) {
        return {};
    }
    const auto Framings = [](auto from, auto to) {
        std::string text;
        for (auto f = from; f != to; ++f) {
            text += (text.empty() ? "" : ", ") + NameOf(*f);
        }
        return text;
    };
    const auto framing =
        std::find(plan_.framings.begin(), plan_.framings.end(), endedEarly_->framing);
    const auto rate = std::find(plan_.rates.begin(), plan_.rates.end(), endedEarly_->baud);
    std::string text = Framings(framing, plan_.framings.end()) + " " + RatesText({*rate});
    const std::vector<int> later(rate + 1, plan_.rates.end());
    if (!later.empty()) {
        text +=
            "; " + Framings(plan_.framings.begin(), plan_.framings.end()) + " " + RatesText(later);
    }
    return text;
}

void LineListenJob::Listening(const LineSettings& settings, int index, int total) {
    ++tried_;
    progress_.done = index - 1;
    progress_.total = total;
    progress_.baud = settings.baud;
}

void LineListenJob::Failed(const LineSettings& settings, const ErrorRecord& error) {
    ++failed_;
    if (stopAll_.get_token().stop_requested()) {
        return;  // a connection cut short by the stop: the stop's doing
    }
    report_.Error(name_, AtSetting("cannot listen", settings.baud, settings.framing, error),
                  settings.baud, settings.framing);
}

}  // namespace probelyn
