#include "line_trace.h"

#include <cstdio>

#include "framing.h"
#include "probe_frames.h"
#include "scan_report.h"

namespace probelyn {

void TraceFile::Record(const LineName& line, const LineSettings& settings, const char* direction,
                       const std::string& bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    char t[32];
    std::snprintf(t, sizeof t, "%.4f",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count());
    file_.Line(std::string("{\"t\":") + t + "," + JsonPort(line) + ",\"baud\":" +
               std::to_string(settings.baud) + ",\"framing\":\"" + NameOf(settings.framing) +
               "\",\"direction\":\"" + direction + "\",\"hex\":\"" + HexText(bytes) + "\"}");
}

std::string TracingLine::Read(int max) {
    std::string bytes = line_.Read(max);
    if (!bytes.empty()) {
        trace_.Record(settings_.line, settings_, "rx", bytes);
    }
    return bytes;
}

void TracingLine::Write(const std::string& bytes) {
    trace_.Record(settings_.line, settings_, "tx", bytes);
    line_.Write(bytes);
}

}  // namespace probelyn
