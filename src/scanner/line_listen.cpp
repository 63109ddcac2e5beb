#include "line_listen.h"

#include <algorithm>

#include "reply_wait.h"

namespace {

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

// Listens at one setting; what was heard there, and whether errors were marked.
class Setting {
  public:
    Setting(PortAccess& access, Clock& clock, const ListenPlan& plan, std::stop_token stop)
        : access_(access), clock_(clock), plan_(plan), stop_(std::move(stop)) {}

    // The traffic heard at the setting; nothing when the line failed there.
    std::optional<Traffic> Hear(const LineSettings& settings, ListenSteps& steps) {
        if (!access_.OpenPort(settings)) {
            steps.Failed(settings, access_.Error());
            return std::nullopt;
        }
        Traffic traffic(settings.baud, plan_.protocols);
        try {
            Take(traffic);
        } catch (const PortFailure& failure) {
            steps.Failed(settings, failure.Record());
            SkipOnFailure(access_.Error(), [&] { access_.ClosePort(); });
            return std::nullopt;
        }
        SkipOnFailure(access_.Error(), [&] { access_.ClosePort(); });
        return traffic;
    }

  private:
    void Take(Traffic& traffic) {
        PortComponent& line = access_.Line();
        Clock::Duration deadline = clock_.Now() + plan_.dwell;
        bool identified = false;
        for (Clock::Duration now = clock_.Now(); now < deadline && !stop_.stop_requested();
             now = clock_.Now()) {
            line.WaitForInput(deadline - now, stop_);
            if (line.InputCount() > 0) {
                traffic.Take(line.Read(ReplyWait::kReadSize), clock_.Now());
            }
            if (!identified && !IdentifiedIn(traffic).empty()) {
                identified = true;
                deadline = clock_.Now() + plan_.dwell;  // to hear every station polled
            } else if (!identified && traffic.Errors() >= kErrorsToLeave && !AnyFrame(traffic)) {
                break;  // a wrong setting, as the marked errors say
            }
        }
        traffic.Finish();
    }

    PortAccess& access_;
    Clock& clock_;
    const ListenPlan& plan_;
    std::stop_token stop_;
};

}  // namespace

std::optional<Hearing> Listen(PortAccess& access, Clock& clock, const ListenPlan& plan,
                              ListenSteps& steps, std::stop_token stop) {
    Setting setting(access, clock, plan, stop);
    const int total = static_cast<int>(plan.rates.size() * plan.framings.size());
    int index = 0;
    bool errorsMarked = false;
    for (const int baud : plan.rates) {
        for (std::size_t f = 0; f < plan.framings.size(); ++f) {
            if (stop.stop_requested()) {
                return std::nullopt;
            }
            const LineSettings settings{plan.line, baud, plan.framings[f], true};
            steps.Listening(settings, ++index, total);
            std::optional<Traffic> traffic = setting.Hear(settings, steps);
            if (!traffic) {
                continue;
            }
            errorsMarked = errorsMarked || traffic->Errors() > 0;
            std::vector<Heard> heard = IdentifiedIn(*traffic);
            if (!heard.empty() && !stop.stop_requested()) {
                Hearing hearing{baud, plan.framings[f], std::move(heard), {}};
                if (!errorsMarked) {
                    hearing.notExcluded.assign(plan.framings.begin() + static_cast<long>(f) + 1,
                                               plan.framings.end());
                }
                return hearing;
            }
        }
    }
    return std::nullopt;
}
