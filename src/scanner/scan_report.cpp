#include "scan_report.h"

#include "framing.h"
#include "json_text.h"
#include "network_name.h"
#include "probe_frames.h"

namespace probelyn {

namespace {

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

template <typename T>
std::string JsonOr(const std::optional<T>& value, std::string (*text)(const T&)) {
    return value ? text(*value) : "null";
}

std::string NumberText(const int& n) {
    return std::to_string(n);
}

std::string FramingText(const Framing& framing) {
    std::string text = "\"";
    text += NameOf(framing);
    text += '"';
    return text;
}

// A raw TCP line runs at whatever its server is set to: the rate and framing
// of a find there are the user's word, not found.
bool RateGiven(const LineName& line) {
    return !line.com && IsRawTcpName(line.device);
}

std::string RateGivenText(const LineName& line) {
    return RateGiven(line) ? " (rate and framing as given: a raw TCP line cannot set them)" : "";
}

std::string RateGivenJson(const LineName& line) {
    return RateGiven(line) ? ",\"rate_given\":true" : "";
}

}  // namespace

std::string JsonPort(const LineName& line) {
    std::string json = "\"port\":" + JsonString(line.device);
    if (!IsUtf8(line.device)) {
        json += ",\"port_hex\":\"" + HexText(line.device) + "\"";
    }
    return json + ",\"com\":" + JsonOr(line.com, &NumberText);
}

ScanReport::ScanReport(bool json, Output& out, std::FILE* err)
    : json_(json), out_(out), err_(err) {}

double ScanReport::Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ScanReport::ClearProgress() {
    if (progressShown_) {
        std::fputs("\r\033[K", err_);
        std::fflush(err_);
        progressShown_ = false;
    }
}

void ScanReport::Emit(const std::string& line) {
    ClearProgress();
    out_.Line(line);
}

void ScanReport::Say(const std::string& line) {
    ClearProgress();
    std::fprintf(err_, "probelyn-scan: %s\n", line.c_str());
    std::fflush(err_);
}

void ScanReport::Note(const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Say(text);
}

void ScanReport::Progress(const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(err_, "\r\033[K%s", text.c_str());
    std::fflush(err_);
    progressShown_ = true;
}

void ScanReport::Found(const LineName& line, const Find& find) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++finds_;
    if (json_) {
        Emit("{\"event\":\"found\"," + JsonPort(line) + ",\"protocol\":\"" + NameOf(find.protocol) +
             "\",\"baud\":" + std::to_string(find.baud) + ",\"station\":" +
             std::to_string(find.station) + ",\"framing\":" + FramingText(find.framing) +
             RateGivenJson(line) + ",\"elapsed_s\":" + Seconds(Elapsed()) + "}");
        return;
    }
    Emit(FoundText(find, line) + ", " + NameOf(find.framing) + RateGivenText(line));
}

namespace {

std::string Joined(const std::vector<int>& numbers, const char* separator) {
    std::string text;
    for (const int n : numbers) {
        text += text.empty() ? "" : separator;
        text += std::to_string(n);
    }
    return text;
}

std::string FramingsText(const std::vector<Framing>& framings, const char* separator, bool quoted) {
    std::string text;
    for (const Framing& f : framings) {
        text += text.empty() ? "" : separator;
        text += quoted ? FramingText(f) : NameOf(f);
    }
    return text;
}

std::string HeardText(const LineName& line, const Hearing& hearing, const Heard& heard) {
    std::string text = std::string(NamesOf(heard.protocol).heard) + " traffic on " +
                       DisplayName(line) + " at " + std::to_string(hearing.baud) + " baud, " +
                       NameOf(hearing.framing) + ": master polls " + Joined(heard.polled, ", ") +
                       "; answers from " + Joined(heard.answered, ", ");
    if (!hearing.notExcluded.empty()) {
        text += " (" + FramingsText(hearing.notExcluded, ", ", false) +
                " not excluded: the line marks no errors)";
    }
    return text + RateGivenText(line);
}

}  // namespace

void ScanReport::Heard(const LineName& line, const Hearing& hearing) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const probelyn::Heard& heard : hearing.heard) {
        ++finds_;
        if (!json_) {
            Emit(HeardText(line, hearing, heard));
            continue;
        }
        Emit("{\"event\":\"heard\"," + JsonPort(line) + ",\"protocol\":\"" +
             NameOf(heard.protocol) + "\",\"baud\":" + std::to_string(hearing.baud) +
             ",\"framing\":" + FramingText(hearing.framing) + ",\"polled\":[" +
             Joined(heard.polled, ",") + "],\"answered\":[" + Joined(heard.answered, ",") +
             "],\"frames\":" + std::to_string(heard.frames) +
             ",\"bad_frames\":" + std::to_string(heard.badFrames) + ",\"not_excluded\":[" +
             FramingsText(hearing.notExcluded, ",", true) + "]" + RateGivenJson(line) +
             ",\"elapsed_s\":" + Seconds(Elapsed()) + "}");
    }
}

void ScanReport::Error(const LineName& line, const std::string& message, std::optional<int> baud,
                       std::optional<Framing> framing) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (json_) {
        Emit("{\"event\":\"error\"," + JsonPort(line) + ",\"baud\":" + JsonOr(baud, &NumberText) +
             ",\"framing\":" + JsonOr(framing, &FramingText) +
             ",\"message\":" + JsonString(message) + "}");
        return;
    }
    Say(DisplayName(line) + ": " + message);
}

void ScanReport::Timed(const LineName& line, const LineTiming& timing) {
    const std::lock_guard<std::mutex> lock(mutex_);
    char trip[32];
    std::snprintf(trip, sizeof trip, "%.3f",
                  std::chrono::duration<double, std::milli>(timing.roundTrip).count());
    const std::string margin = std::to_string(timing.replyMarginMs);
    if (json_) {
        Emit("{\"event\":\"network\"," + JsonPort(line) + ",\"round_trip_ms\":" + trip +
             ",\"margin_ms\":" + margin + "}");
        return;
    }
    Say(DisplayName(line) + ": round trip " + trip + " ms over the network; every reply window " +
        margin + " ms longer");
}

void ScanReport::Unusable(const LineName& line, const std::string& reason) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Say("not usable: " + DisplayName(line) + ": " + reason);
    if (json_) {
        Emit("{\"event\":\"unusable\"," + JsonPort(line) + ",\"reason\":" + JsonString(reason) +
             "}");
    }
}

void ScanReport::Listed(const LineName& line, const std::string& description) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (json_) {
        Emit("{\"event\":\"port\"," + JsonPort(line) +
             ",\"description\":" + JsonString(description) + "}");
        return;
    }
    const std::string com = line.com ? DisplayName({.com = line.com}) : "-";
    Emit(com + " " + (description.empty() ? line.device : description));
}

void ScanReport::Aborted() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (json_) {
        Emit("{\"event\":\"aborted\",\"elapsed_s\":" + Seconds(Elapsed()) + "}");
        return;
    }
    Say("aborted");
}

void ScanReport::Done() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (json_) {
        Emit("{\"event\":\"done\",\"finds\":" + std::to_string(finds_) +
             ",\"elapsed_s\":" + Seconds(Elapsed()) + "}");
    }
}

void ScanReport::NothingFound(const std::string& what, bool listened) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!json_) {
        Say(std::string(listened ? "no traffic heard at any rate: " : "no instrument answered: ") +
            what + ", in " + Seconds(Elapsed()) + " s");
    }
}

int ScanReport::Finds() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return finds_;
}

}  // namespace probelyn
