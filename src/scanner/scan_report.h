#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "answers.h"
#include "identification.h"
#include "line_name.h"
#include "line_timing.h"
#include "listen_outcome.h"
#include "output.h"
#include "scan_outcome.h"
#include "sweep.h"

namespace probelyn {

// Where probelyn-scan's results go: one line per event on standard output,
// in the window's words or as JSON Lines; in words, errors and reasons go to
// standard error. Every worker reports here, one event at a time, and the
// progress line on a terminal is drawn here too, so that it never lands
// inside an event.
class ScanReport {
  public:
    ScanReport(bool json, Output& out, std::FILE* err);

    void Found(const LineName& line, const Find& find);
    // Who an instrument found says it is: on stdout after its find.
    void Identified(const LineName& line, const Find& find, const Identity& identity);
    // What answered without being a find: in JSON an event on stdout,
    // otherwise a line in words on stderr unless `quiet`.
    void Answered(const LineName& line, const probelyn::Answered& answered, bool quiet);
    // Traffic identified on a listened line: one event per protocol heard.
    void Heard(const LineName& line, const Hearing& hearing);
    // A failure on a line; where it came at a setting, its rate and framing.
    void Error(const LineName& line, const std::string& message, std::optional<int> baud = {},
               std::optional<Framing> framing = {});
    // A line's work that could not finish: what was not tried, in words on
    // stderr and, where given, as JSON on stdout.
    void Unfinished(const LineName& line, const std::string& work, const std::string& words,
                    const std::string& json);
    // A line over the network, as measured when it opened: its round trip
    // and what every reply window of the line grows by.
    void Timed(const LineName& line, const LineTiming& timing);
    // A line left out, and why: in JSON an event on stdout too.
    void Unusable(const LineName& line, const std::string& reason);
    // A line that --list-ports or --names lists, with what is known of it.
    void Listed(const LineName& line, const std::string& description);
    void Aborted();
    // The final event: how many finds, after how long.
    void Done();
    // In words: nothing answered (or, listening, nothing was heard), said on
    // stderr in one line.
    void NothingFound(const std::string& what, bool listened = false);
    // A word for people on stderr ("probelyn-scan: ..."), in any mode.
    void Note(const std::string& text);
    // Draws the progress line on the terminal (stderr); the next event
    // clears it first.
    void Progress(const std::string& text);
    int Finds() const;
    // How many answers that were no find were said.
    int Answers() const;
    double Elapsed() const;

  private:
    // Writes one event, the progress line cleared first.
    void Emit(const std::string& line);
    void Say(const std::string& line);
    void ClearProgress();

    bool json_;
    Output& out_;
    std::FILE* err_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    mutable std::mutex mutex_;
    int finds_ = 0;
    int answers_ = 0;
    bool progressShown_ = false;
};

// What a sweep did not get to, in words: "stations 4-255 at 460800 baud,
// 8N1; at 9 rates from 230400 to 2400 baud, 8N1", the stations of each part
// said where they are not all of the plan's, and always for the first part
// when the line was lost in the middle of a setting.
std::string UntriedText(const std::vector<Untried>& parts, const ScanPlan& plan, bool midSetting);
// The same as a JSON array: [{"stations":[[4,255]],"settings":[{"baud":460800,
// "framing":"8N1"}]},...].
std::string UntriedJson(const std::vector<Untried>& parts);

// The "port", "port_hex" (only where the device's name is not UTF-8) and
// "com" members of a JSON object, for the line.
std::string JsonPort(const LineName& line);

}  // namespace probelyn
