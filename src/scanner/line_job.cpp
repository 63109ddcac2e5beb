#include "line_job.h"

#include <memory>

#include "port_line.h"

namespace probelyn {

void LineJob::OnLine(const std::function<void(PortAccess&, Clock&)>& work) {
    // The line lives in this thread, which alone drives it.
    PortLine line(ComPortNames::FromDevices({}), stopAll_.get_token());
    line.WhenTimed([this](const LineTiming& timing) {
        marginMs_ = timing.replyMarginMs;
        report_.Timed(name_, timing);
    });
    std::unique_ptr<TracingLine> traced;
    if (trace_ != nullptr) {
        traced = std::make_unique<TracingLine>(line, *trace_);
    }
    PortAccess access(traced ? static_cast<PortComponent&>(*traced) : line);
    SteadyClock clock;
    work(access, clock);
}

std::string RatesText(const std::vector<int>& rates) {
    if (rates.size() == 1) {
        return "at " + std::to_string(rates.front()) + " baud";
    }
    return "at " + std::to_string(rates.size()) + " rates from " + std::to_string(rates.front()) +
           " to " + std::to_string(rates.back()) + " baud";
}

std::string AtSetting(const std::string& what, int baud, const Framing& framing,
                      const ErrorRecord& why) {
    return what + " at " + std::to_string(baud) + " baud, " + NameOf(framing) + ": " +
           (why.description.empty() ? "the line did not open" : why.description);
}

}  // namespace probelyn
