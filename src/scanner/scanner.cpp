#include "scanner.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "device_catalogue.h"
#include "exit_status.h"
#include "framing.h"
#include "line_listen_job.h"
#include "line_scan.h"
#include "standard_streams.h"

namespace probelyn {

namespace {

constexpr int kTrouble = Code(ExitStatus::Trouble);
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

std::string Listed(const std::vector<std::string>& items, const std::string& separator) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : separator) + item;
    }
    return text;
}

}  // namespace

Scanner::Scanner(const ScanOptions& options, MachineLayout layout, Output& out, Ending& ending,
                 std::stop_source& stop, std::FILE* err)
    : options_(options),
      layout_(std::move(layout)),
      ending_(ending),
      stop_(stop),
      report_(options.json, out, err) {}

int Scanner::Run() {
    if (options_.names) {
        return ListNames();
    }
    return options_.listPorts ? ListPorts() : Scan();
}

int Scanner::ListNames() {
    const ComPortNames numbering = ComPortNames::System(layout_.deviceFolder);
    if (numbering.IsNative()) {
        report_.Note("COMn is the port's own name here; --list-ports lists the ports that open");
        return ending_.Status(Code(ExitStatus::Success));
    }
    const std::vector<LineName> lines = numbering.Lines();
    for (const LineName& line : lines) {
        report_.Listed(line, "");
    }
    if (lines.empty()) {
        report_.Note("no serial line found");
        return ending_.Status(kTrouble);
    }
    return ending_.Status(Code(ExitStatus::Success));
}

int Scanner::ListPorts() {
    const Census census =
        TakeCensus(ComPortNames::System(layout_.deviceFolder), layout_, stop_.get_token());
    const DeviceCatalogue catalogue;
    for (const LineName& line : census.usable) {
        std::string about = catalogue.Describe(line.device);
        std::replace(about.begin(), about.end(), '\n', ' ');
        report_.Listed(line, about);
    }
    for (const auto& [line, reason] : census.unusable) {
        report_.Unusable(line, reason);
    }
    if (census.usable.empty() && ending_.Why() == Ending::Cause::None) {
        report_.Note("no serial line found");
        return ending_.Status(kTrouble);
    }
    return ending_.Status(Code(ExitStatus::Success));
}

std::vector<LineName> Scanner::LinesToScan() {
    const ComPortNames numbering = ComPortNames::System(layout_.deviceFolder);
    if (!options_.ports.empty()) {
        const GivenLines given = LinesGiven(options_.ports, numbering, stop_.get_token());
        for (const std::string& merged : given.merged) {
            report_.Note(merged);
        }
        if (!given.error.empty()) {
            report_.Note(given.error);
        }
        return given.lines;
    }
    const Census census = TakeCensus(numbering, layout_, stop_.get_token(), options_.listen);
    for (const auto& [line, reason] : census.unusable) {
        report_.Unusable(line, reason);
    }
    if (census.usable.empty() && ending_.Why() == Ending::Cause::None) {
        report_.Note(options_.listen ? "no serial line found to listen to"
                                     : "no serial line found to scan");
    }
    return census.usable;
}

int Scanner::Scan() {
    const std::vector<LineName> lines = LinesToScan();
    if (lines.empty() || ending_.Why() != Ending::Cause::None) {
        return Finish(kTrouble);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> traceFile(nullptr, &std::fclose);
    if (!options_.trace.empty()) {
        traceFile.reset(std::fopen(options_.trace.c_str(), "w"));
        if (!traceFile) {
            ending_.WriteFailed("the trace " + options_.trace, errno);
            return Finish(kTrouble);
        }
    }
    Output traceOut(traceFile.get(), "the trace " + options_.trace, ending_);
    TraceFile trace(traceOut);
    std::vector<std::unique_ptr<LineProgress>> progress;
    std::vector<std::unique_ptr<LineJob>> jobs;
    for (const LineName& line : lines) {
        const LineAbilities abilities = AbilitiesOf(line);
        if (options_.listen && !abilities.drivesModemLines && !abilities.marksErrors) {
            report_.Note(DisplayName(line) +
                         ": a raw TCP line can neither lower the modem lines nor mark errors; "
                         "the listen judges by frames alone");
        }
        progress.push_back(std::make_unique<LineProgress>());
        jobs.push_back(JobFor(line, traceFile ? &trace : nullptr, *progress.back()));
    }
    RunAll(jobs, progress);
    return Finish(Judged(jobs, lines));
}

std::unique_ptr<LineJob> Scanner::JobFor(const LineName& line, TraceFile* trace,
                                         LineProgress& progress) {
    if (!options_.listen) {
        return std::make_unique<LineScan>(line, options_, report_, trace, stop_, progress);
    }
    ListenPlan plan;  // its line is the job's
    plan.protocols = options_.plan.protocols;
    plan.rates = options_.plan.rates;
    plan.framings = options_.plan.framings;
    plan.dwell = std::chrono::milliseconds(options_.dwellMs);
    return std::make_unique<LineListenJob>(line, std::move(plan), report_, trace, stop_, progress);
}

int Scanner::Judged(const std::vector<std::unique_ptr<LineJob>>& jobs,
                    const std::vector<LineName>& lines) {
    const bool anyOpened =
        std::any_of(jobs.begin(), jobs.end(), [](const auto& j) { return j->Opened(); });
    const bool anyLost =
        std::any_of(jobs.begin(), jobs.end(), [](const auto& j) { return j->Lost(); });
    if (ending_.Why() == Ending::Cause::None) {
        for (const auto& job : jobs) {
            if (job->Lost()) {
                report_.Unfinished(job->Name(), options_.listen ? "listen" : "scan",
                                   job->NotTried(), job->NotTriedJson());
            }
        }
    }
    if (report_.Finds() > 0) {
        SayLinesWithout(jobs);
        return Code(ExitStatus::Success);
    }
    if (!anyOpened || anyLost) {
        return kTrouble;
    }
    if (!options_.quiet && ending_.Why() == Ending::Cause::None) {
        report_.NothingFound(WhatWasTried(lines), options_.listen);
    }
    return Code(ExitStatus::NothingFound);
}

void Scanner::SayLinesWithout(const std::vector<std::unique_ptr<LineJob>>& jobs) {
    std::vector<LineName> without;
    for (const auto& job : jobs) {
        if (job->Opened() && !job->Found() && !job->Lost()) {
            without.push_back(job->Name());
        }
    }
    if (options_.each && !without.empty() && !options_.quiet &&
        ending_.Why() == Ending::Cause::None) {
        report_.NothingFound(WhatWasTried(without));
    }
}

int Scanner::Finish(int normal) {
    switch (ending_.Why()) {
        case Ending::Cause::Signal:
            report_.Aborted();
            report_.Done();
            break;
        case Ending::Cause::None:
            report_.Done();
            break;
        case Ending::Cause::ReaderGone:
        case Ending::Cause::WriteFailed:
            break;  // nothing more for a reader that is gone or a stream that failed
    }
    return ending_.Status(normal);
}

void Scanner::RunAll(const std::vector<std::unique_ptr<LineJob>>& jobs,
                     const std::vector<std::unique_ptr<LineProgress>>& progress) {
    const bool showProgress = !options_.quiet && ErrorIsTerminal();
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t running = jobs.size();
    std::vector<std::jthread> workers;
    for (const auto& job : jobs) {
        workers.emplace_back([&, line = job.get()] {
            line->Run();
            const std::lock_guard<std::mutex> lock(mutex);
            --running;
            finished.notify_all();
        });
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished.wait_for(lock, kProgressInterval, [&] { return running == 0; })) {
            if (showProgress) {
                report_.Progress(ProgressText(jobs, progress));
            }
        }
    }
    workers.clear();  // joined
    if (showProgress) {
        report_.Progress("");
    }
}

std::string Scanner::ProgressText(
    const std::vector<std::unique_ptr<LineJob>>& jobs,
    const std::vector<std::unique_ptr<LineProgress>>& progress) const {
    long done = 0;
    long total = 0;
    for (const auto& p : progress) {
        done += p->done;
        total += p->total;
    }
    const double share = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0;
    double left = share > 0 ? report_.Elapsed() * (1 - share) / share : 0;
    if (!options_.listen) {  // the reply windows still to come on the slowest line
        const auto now = static_cast<long>(report_.Elapsed() * 1000);
        long ms = 0;
        for (const auto& p : progress) {
            const long windows = p->leftMs;
            ms = std::max(ms, windows - std::clamp(now - p->stepAtMs, 0L, windows));
        }
        left = static_cast<double>(ms) / 1000;
    }
    char shareText[64];
    std::snprintf(shareText, sizeof shareText, "%.0f %% done, about %.0f s left", share * 100,
                  left);
    if (jobs.size() == 1) {
        const LineProgress& line = *progress.front();
        const std::string where =
            options_.listen
                ? "listening at " + std::to_string(line.baud) + " baud"
                : std::to_string(line.baud) + " baud, station " + std::to_string(line.station);
        return DisplayName(jobs.front()->Name()) + ": " + where + ", " + shareText;
    }
    return std::to_string(jobs.size()) + " lines: " + shareText;
}

std::string Scanner::WhatWasTried(const std::vector<LineName>& lines) const {
    const ScanPlan& plan = options_.plan;
    std::vector<std::string> names;
    std::transform(lines.begin(), lines.end(), std::back_inserter(names), &DisplayName);
    std::vector<std::string> protocols;
    std::transform(plan.protocols.begin(), plan.protocols.end(), std::back_inserter(protocols),
                   [](Protocol p) { return NameOf(p); });
    std::vector<std::string> framings;
    std::transform(plan.framings.begin(), plan.framings.end(), std::back_inserter(framings),
                   [](const Framing& f) { return NameOf(f); });
    const std::string rates = RatesText(plan.rates);
    const std::string stations = options_.listen
                                     ? std::string()
                                     : ", stations " + std::to_string(plan.firstStation) + "-" +
                                           std::to_string(plan.lastStation);
    return Listed(protocols, ", ") + " " + rates + stations + ", " + Listed(framings, ", ") +
           ", on " + Listed(names, ", ");
}

}  // namespace probelyn
