#include "scan_report.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "framing.h"
#include "json_text.h"
#include "line_job.h"
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

// A line that cannot set rate and framing (raw TCP) runs at whatever its
// server is set to: the rate and framing of a find there are the user's
// word, not found.
bool RateGiven(const LineName& line) {
    return !AbilitiesOf(line).setsRateAndFraming;
}

std::string RateGivenText(const LineName& line) {
    return RateGiven(line) ? " (rate and framing as given: a raw TCP line cannot set them)" : "";
}

std::string RateGivenJson(const LineName& line) {
    return RateGiven(line) ? ",\"rate_given\":true" : "";
}

std::string SettingText(const Setting& setting) {
    return std::to_string(setting.baud) + " baud, " + NameOf(setting.framing);
}

// "at 9 rates from 230400 to 2400 baud, 8N1" where the framing is one,
// "at 36 settings from 38400 baud, 8N1 to 460800 baud, 8N2" otherwise.
std::string SettingsText(const std::vector<Setting>& settings) {
    const Framing framing = settings.front().framing;
    if (std::all_of(settings.begin(), settings.end(),
                    [&](const Setting& s) { return s.framing == framing; })) {
        std::vector<int> rates;
        std::transform(settings.begin(), settings.end(), std::back_inserter(rates),
                       [](const Setting& s) { return s.baud; });
        return RatesText(rates) + ", " + NameOf(framing);
    }
    return "at " + std::to_string(settings.size()) + " settings from " +
           SettingText(settings.front()) + " to " + SettingText(settings.back());
}

// The stations, unless they are all of the plan's and `always` is false.
std::string StationsPrefix(const Stations& stations, const ScanPlan& plan, bool always) {
    if (!always && stations == Stations{{plan.firstStation, plan.lastStation}}) {
        return {};
    }
    return (CountOf(stations) == 1 ? "station " : "stations ") + StationsText(stations) + " ";
}

// [[first,last],...]
std::string RunsJson(const Stations& stations) {
    std::string json = "[";
    for (const StationRun& run : stations) {
        json += (json.back() == '[' ? "[" : ",[") + std::to_string(run.first) + "," +
                std::to_string(run.last) + "]";
    }
    return json + "]";
}

std::string PartJson(const Untried& part) {
    std::string json = "{\"stations\":" + RunsJson(part.stations) + ",\"settings\":[";
    for (const Setting& setting : part.settings) {
        json += (json.back() == '[' ? "{\"baud\":" : ",{\"baud\":") + std::to_string(setting.baud) +
                ",\"framing\":\"" + NameOf(setting.framing) + "\"}";
    }
    return json + "]}";
}

}  // namespace

std::string UntriedText(const std::vector<Untried>& parts, const ScanPlan& plan, bool midSetting) {
    std::string text;
    for (const Untried& part : parts) {
        text += (text.empty() ? "" : "; ") +
                StationsPrefix(part.stations, plan, std::exchange(midSetting, false)) +
                SettingsText(part.settings);
    }
    return text;
}

std::string UntriedJson(const std::vector<Untried>& parts) {
    std::string json = "[";
    for (const Untried& part : parts) {
        json += json.size() == 1 ? "" : ",";
        json += PartJson(part);
    }
    return json + "]";
}

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

namespace {

// A Modbus exception's meaning, as the standard names it.
std::string ExceptionName(int code) {
    static const char* const kNames[] = {"",
                                         "illegal function",
                                         "illegal data address",
                                         "illegal data value",
                                         "server device failure",
                                         "acknowledge",
                                         "server device busy",
                                         "",
                                         "memory parity error",
                                         "",
                                         "gateway path unavailable",
                                         "gateway target device failed to respond"};
    const std::string name =
        code >= 0 && code < static_cast<int>(std::size(kNames)) ? kNames[code] : "";
    return std::to_string(code) + " (" + (name.empty() ? "unknown" : name) + ")";
}

std::string At(const Setting& setting) {
    return " at " + std::to_string(setting.baud) + " baud, " + NameOf(setting.framing);
}

std::string AnsweredText(const probelyn::Answered& a) {
    using Kind = probelyn::Answered::Kind;
    const std::string station = "station " + std::to_string(a.station);
    char value[16];
    std::snprintf(value, sizeof value, "0x%04X", a.reply.register60.value_or(0));
    switch (a.kind) {
        case Kind::Exception:
            return "a Modbus device answered at " + station + At(a.setting) + " with exception " +
                   ExceptionName(a.reply.exception) +
                   ": not an instrument of this family, or one whose register 60 cannot be read";
        case Kind::OtherReply:
            return "a Modbus device at " + station + At(a.setting) +
                   (a.reply.register60 ? " answered; its register 60 holds " + std::string(value)
                                       : " answered with " + std::to_string(a.reply.byteCount) +
                                             " bytes for two registers") +
                   ": not an instrument of this family";
        case Kind::Gateway:
            return std::string("a gateway answered for ") +
                   (CountOf(a.stations) == 1 ? "station " : "stations ") +
                   StationsText(a.stations) + At(a.setting) + " with exception " +
                   ExceptionName(a.reply.exception) + ": no device behind it";
        case Kind::NoValidReply:
            return "bytes came back" + At(a.setting) + " after " + std::to_string(a.count) +
                   (a.count == 1 ? " probe" : " probes") +
                   " but made no valid reply: a device at a nearby rate or another framing, "
                   "another protocol, or noise";
        case Kind::Unsaid:
            return std::to_string(a.count) + " more Modbus " +
                   (a.count == 1 ? "device" : "devices") + " answered" + At(a.setting) +
                   ", not said one by one";
    }
    return {};
}

std::string AnsweredJson(const probelyn::Answered& a) {
    using Kind = probelyn::Answered::Kind;
    static const char* const kKinds[] = {"exception", "modbus_reply", "gateway", "no_valid_reply",
                                         "unsaid"};
    std::string json = std::string(",\"kind\":\"") + kKinds[static_cast<int>(a.kind)] +
                       "\",\"baud\":" + std::to_string(a.setting.baud) + ",\"framing\":\"" +
                       NameOf(a.setting.framing) + "\"";
    switch (a.kind) {
        case Kind::Exception:
            return json + ",\"protocol\":\"modbus\",\"station\":" + std::to_string(a.station) +
                   ",\"exception\":" + std::to_string(a.reply.exception);
        case Kind::OtherReply:
            return json + ",\"protocol\":\"modbus\",\"station\":" + std::to_string(a.station) +
                   ",\"byte_count\":" + std::to_string(a.reply.byteCount) + ",\"register_60\":" +
                   (a.reply.register60 ? std::to_string(*a.reply.register60) : "null");
        case Kind::Gateway:
            return json +
                   ",\"protocol\":\"modbus\",\"exception\":" + std::to_string(a.reply.exception) +
                   ",\"stations\":" + RunsJson(a.stations);
        case Kind::NoValidReply:
            return json + ",\"probes\":" + std::to_string(a.count);
        case Kind::Unsaid:
            return json + ",\"count\":" + std::to_string(a.count);
    }
    return json;
}

// A value an instrument gave, in words: printable ASCII as it is, quotes,
// backslashes and every other byte escaped.
std::string Quoted(const std::string& value) {
    std::string text = "\"";
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            text += '\\';
            text += c;
        } else if (b >= 0x20 && b < 0x7F) {
            text += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            text += escaped;
        }
    }
    return text + "\"";
}

// A value an instrument gave, as JSON members: the text, and its exact bytes
// where they are not UTF-8.
std::string ValueJson(const std::string& name, const std::string& value) {
    std::string json = ",\"" + name + "\":" + JsonString(value);
    if (!IsUtf8(value)) {
        json += ",\"" + name + "_hex\":\"" + HexText(value) + "\"";
    }
    return json;
}

}  // namespace

void ScanReport::Identified(const LineName& line, const Find& find, const Identity& identity) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (json_) {
        Emit("{\"event\":\"identified\"," + JsonPort(line) +
             ",\"station\":" + std::to_string(find.station) + ValueJson("vendor", identity.vendor) +
             ValueJson("product_code", identity.productCode) +
             ValueJson("revision", identity.revision) + "}");
        return;
    }
    std::string said;
    const std::pair<const char*, const std::string*> fields[] = {
        {"vendor ", &identity.vendor},
        {"product code ", &identity.productCode},
        {"revision ", &identity.revision}};
    for (const auto& [name, value] : fields) {
        if (!value->empty()) {
            said += (said.empty() ? "" : ", ") + std::string(name) + Quoted(*value);
        }
    }
    Emit("Station " + std::to_string(find.station) + " on " + DisplayName(line) + " says it is " +
         said);
}

void ScanReport::Answered(const LineName& line, const probelyn::Answered& answered, bool quiet) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++answers_;
    if (json_) {
        Emit("{\"event\":\"answered\"," + JsonPort(line) + AnsweredJson(answered) + "}");
    } else if (!quiet) {
        Say(DisplayName(line) + ": " + AnsweredText(answered));
    }
}

int ScanReport::Answers() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return answers_;
}

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

void ScanReport::Unfinished(const LineName& line, const std::string& work, const std::string& words,
                            const std::string& json) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Say(DisplayName(line) + ": the " + work + " could not finish; not tried: " + words);
    if (json_ && !json.empty()) {
        Emit("{\"event\":\"unfinished\"," + JsonPort(line) + ",\"not_tried\":" + json + "}");
    }
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
        const std::string answered =
            answers_ == 0 ? ""
                          : "; what answered without being an instrument of this family is said "
                            "above";
        Say(std::string(listened ? "no traffic heard at any rate: " : "no instrument answered: ") +
            what + ", in " + Seconds(Elapsed()) + " s" + answered);
    }
}

int ScanReport::Finds() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return finds_;
}

}  // namespace probelyn
