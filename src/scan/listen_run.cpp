#include "listen_run.h"

#include <algorithm>

#include "reply_wait.h"
#include "skip_on_failure.h"

namespace probelyn {

namespace {

using Kind = ListenOutcome::Kind;

// Marked errors that leave a setting at once when no frame decodes there.
constexpr int kErrorsToLeave = 2;

std::vector<Heard> IdentifiedIn(const Traffic& traffic) {
    std::vector<Heard> found;
    for (const Heard& heard : traffic.Heards()) {
        if (Identified(heard, traffic.Errors())) {
            found.push_back(heard);
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Heard& a, const Heard& b) { return a.frames > b.frames; });
    return found;
}

bool AnyFrame(const Traffic& traffic) {
    const std::vector<Heard> heards = traffic.Heards();
    return std::any_of(heards.begin(), heards.end(), [](const Heard& h) { return h.frames > 0; });
}

}  // namespace

ListenOutcome ListenRun::ListenNow(const ListenPlan& plan, ListenSteps& steps,
                                   std::stop_token stop) {
    plan_ = &plan;
    stop_ = std::move(stop);
    const int total = static_cast<int>(plan.rates.size() * plan.framings.size());
    int index = 0;
    bool errorsMarked = false;
    for (const int baud : plan.rates) {
        for (std::size_t f = 0; f < plan.framings.size(); ++f) {
            if (stop_.stop_requested()) {
                return {Kind::Stopped};
            }
            const LineSettings settings{plan.line, baud, plan.framings[f], true};
            steps.Listening(settings, ++index, total);
            std::optional<Traffic> traffic = Hear(settings, steps);
            if (!traffic) {
                if (!DependsOnSetting(access_.Error().error)) {
                    return {.kind = Kind::Unfinished,
                            .failure = access_.Error(),
                            .at = {baud, plan.framings[f], 0}};
                }
                continue;
            }
            errorsMarked = errorsMarked || traffic->Errors() > 0;
            std::vector<Heard> heard = IdentifiedIn(*traffic);
            if (!heard.empty() && !stop_.stop_requested()) {
                ListenOutcome outcome{Kind::Heard, {baud, plan.framings[f], std::move(heard), {}}};
                if (!errorsMarked) {
                    outcome.hearing.notExcluded.assign(
                        plan.framings.begin() + static_cast<long>(f) + 1, plan.framings.end());
                }
                return outcome;
            }
        }
    }
    return {stop_.stop_requested() ? Kind::Stopped : Kind::NothingHeard};
}

std::optional<Traffic> ListenRun::Hear(const LineSettings& settings, ListenSteps& steps) {
    if (!access_.OpenPort(settings)) {
        steps.Failed(settings, access_.Error());
        return std::nullopt;
    }
    Traffic traffic(settings.baud, plan_->protocols, access_.Line().Timing().quietFloor);
    try {
        Take(traffic);
    } catch (const PortFailure& failure) {
        access_.Error() = failure.Record();
        steps.Failed(settings, failure.Record());
        ErrorRecord ignored;  // the failure above is the one to report
        SkipOnFailure(ignored, [&] { access_.ClosePort(); });
        return std::nullopt;
    }
    SkipOnFailure(access_.Error(), [&] { access_.ClosePort(); });
    return traffic;
}

void ListenRun::Take(Traffic& traffic) {
    PortComponent& line = access_.Line();
    Clock::Duration deadline = clock_.Now() + plan_->dwell;
    bool identified = false;
    for (Clock::Duration now = clock_.Now(); now < deadline && !stop_.stop_requested();
         now = clock_.Now()) {
        line.WaitForInput(deadline - now, stop_);
        if (line.InputCount() > 0) {
            traffic.Take(line.Read(ReplyWait::kReadSize), clock_.Now());
        }
        if (!identified && !IdentifiedIn(traffic).empty()) {
            identified = true;
            deadline = clock_.Now() + plan_->dwell;  // to hear every station polled
        } else if (!identified && traffic.Errors() >= kErrorsToLeave && !AnyFrame(traffic)) {
            break;  // a wrong setting, as the marked errors say
        }
    }
    traffic.Finish();
}

}  // namespace probelyn
