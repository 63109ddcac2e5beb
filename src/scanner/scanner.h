#pragma once

#include <cstdio>
#include <memory>
#include <stop_token>
#include <vector>

#include "ending.h"
#include "line_job.h"
#include "line_selection.h"
#include "output.h"
#include "scan_options.h"
#include "scan_report.h"

namespace probelyn {

// probelyn-scan's work once its options are understood: naming, listing or
// scanning the machine's lines, results through `out`, reasons and progress
// on `err`, ended early through `ending`. Returns the exit status.
class Scanner {
  public:
    Scanner(const ScanOptions& options, MachineLayout layout, Output& out, Ending& ending,
            std::stop_source& stop, std::FILE* err = stderr);

    int Run();

  private:
    int ListNames();
    int ListPorts();
    int Scan();
    // The lines given, or every usable one; empty, with the reason said,
    // when there are none.
    std::vector<LineName> LinesToScan();
    // Scans every line in a thread of its own, drawing the progress on the
    // terminal meanwhile when asked to.
    void RunAll(const std::vector<std::unique_ptr<LineJob>>& jobs,
                const std::vector<std::unique_ptr<LineProgress>>& progress);
    std::string ProgressText(const std::vector<std::unique_ptr<LineJob>>& jobs,
                             const std::vector<std::unique_ptr<LineProgress>>& progress) const;
    // The work for one line: a scan, or a listen.
    std::unique_ptr<LineJob> JobFor(const LineName& line, TraceFile* trace, LineProgress& progress);
    std::string WhatWasTried(const std::vector<LineName>& lines) const;
    // The status the lines' work ends with, said when nothing was found or a
    // line's work could not finish.
    int Judged(const std::vector<std::unique_ptr<LineJob>>& jobs,
               const std::vector<LineName>& lines);
    // With --each, after finds: the lines where nothing answered.
    void SayLinesWithout(const std::vector<std::unique_ptr<LineJob>>& jobs);
    // Writes the last events as the scan's end asks, and gives the status.
    int Finish(int normal);

    const ScanOptions& options_;
    MachineLayout layout_;
    Ending& ending_;
    std::stop_source& stop_;
    ScanReport report_;
};

}  // namespace probelyn
