#pragma once

#include <optional>
#include <stop_token>

#include "clock.h"
#include "listen_outcome.h"
#include "listen_plan.h"
#include "listen_steps.h"
#include "port_access.h"

namespace probelyn {

// The listen engine, the scan run's twin: it listens to one line at each of
// the plan's rates and, at each rate, each of its framings, never writing a
// byte: the line opens to listen (see LineSettings). A setting at which errors
// are marked and no frame decodes is left at once. It ends at the first
// setting where traffic is identified, after the last, at a failure of the
// line that no other setting can change (see DependsOnSetting), or at once
// when a stop is asked for through the stop token.
class ListenRun {
  public:
    ListenRun(PortAccess& access, Clock& clock) : access_(access), clock_(clock) {}

    ListenOutcome ListenNow(const ListenPlan& plan, ListenSteps& steps, std::stop_token stop);

  private:
    // The traffic heard at the setting; nothing when the line failed there.
    std::optional<Traffic> Hear(const LineSettings& settings, ListenSteps& steps);
    // Takes what the line hands over for the dwell, or until the traffic is
    // shown to be at a wrong setting.
    void Take(Traffic& traffic);

    PortAccess& access_;
    Clock& clock_;
    const ListenPlan* plan_ = nullptr;  // of the listen under way
    std::stop_token stop_;
};

}  // namespace probelyn
