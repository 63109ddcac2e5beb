#include "line_trace.h"

#include "framing.h"
#include "probe_frames.h"
#include "scan_report.h"

void TraceFile::Record(const std::string& port, const LineSettings& settings, const char* direction,
                       const std::string& bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const double t =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(file_,
                 "{\"t\":%.4f,\"port\":%s,\"baud\":%d,\"framing\":\"%s\",\"direction\":\"%s\","
                 "\"hex\":\"%s\"}\n",
                 t, JsonString(port).c_str(), settings.baud, NameOf(settings.framing).c_str(),
                 direction, HexText(bytes).c_str());
    std::fflush(file_);
}

std::string TracingLine::Read(int max) {
    std::string bytes = line_.Read(max);
    if (!bytes.empty()) {
        trace_.Record(port_, settings_, "rx", bytes);
    }
    return bytes;
}

void TracingLine::Write(const std::string& bytes) {
    trace_.Record(port_, settings_, "tx", bytes);
    line_.Write(bytes);
}
