#include "scan_report.h"

#include "framing.h"

namespace {

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

std::string JsonCom(const std::optional<int>& com) {
    return com ? std::to_string(*com) : "null";
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

ScanReport::ScanReport(bool json, std::FILE* out, std::FILE* err)
    : json_(json), out_(out), err_(err) {}

double ScanReport::Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ScanReport::Emit(std::FILE* stream, const std::string& line) {
    if (clearProgress_) {
        std::fputs("\r\033[K", err_);
    }
    std::fprintf(stream, "%s\n", line.c_str());
    std::fflush(stream);
}

void ScanReport::Found(const LineName& line, const Find& find, const Framing& framing) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++finds_;
    if (json_) {
        Emit(out_, "{\"event\":\"found\",\"port\":" + JsonString(line.device) +
                       ",\"com\":" + JsonCom(line.com) + ",\"protocol\":\"" +
                       NameOf(find.protocol) + "\",\"baud\":" + std::to_string(find.baud) +
                       ",\"station\":" + std::to_string(find.station) + ",\"framing\":\"" +
                       NameOf(framing) + "\",\"elapsed_s\":" + Seconds(Elapsed()) + "}");
        return;
    }
    const std::string where =
        line.com ? "COM" + std::to_string(*line.com) + " (" + line.device + ")" : line.device;
    Emit(out_, FoundText(find, where) + ", " + NameOf(framing));
}

void ScanReport::Error(const LineName& line, const std::string& message) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (json_) {
        Emit(out_, "{\"event\":\"error\",\"port\":" + JsonString(line.device) +
                       ",\"message\":" + JsonString(message) + "}");
        return;
    }
    Emit(err_, "probelyn-scan: " + line.device + ": " + message);
}

void ScanReport::Aborted() {
    const std::lock_guard<std::mutex> lock(mutex_);
    Emit(json_ ? out_ : err_, json_ ? "{\"event\":\"aborted\"}" : "probelyn-scan: aborted");
}

void ScanReport::Done() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (json_) {
        Emit(out_, "{\"event\":\"done\",\"finds\":" + std::to_string(finds_) +
                       ",\"elapsed_s\":" + Seconds(Elapsed()) + "}");
    }
}

int ScanReport::Finds() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return finds_;
}
