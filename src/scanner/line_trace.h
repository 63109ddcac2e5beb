#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "output.h"
#include "port_component.h"

namespace probelyn {

// The trace file: every request and reply on every line as JSON Lines,
// {"t":0.0123,"port":...,"baud":...,"framing":"8N1","direction":"tx","hex":"01 03"}.
class TraceFile {
  public:
    explicit TraceFile(Output& file) : file_(file) {}

    void Record(const LineName& line, const LineSettings& settings, const char* direction,
                const std::string& bytes);

  private:
    Output& file_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
};

// A line that writes what crosses it into the trace, and otherwise is the
// line it wraps.
class TracingLine : public PortComponent {
  public:
    TracingLine(PortComponent& line, TraceFile& trace) : line_(line), trace_(trace) {}

    int Open(const LineSettings& settings) override {
        settings_ = settings;
        return line_.Open(settings);
    }
    int Close() override { return line_.Close(); }
    int InputCount() override { return line_.InputCount(); }
    std::string Read(int max) override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override { line_.DiscardInput(); }
    bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) override {
        return line_.WaitForInput(timeout, stop);
    }
    LineTiming Timing() const override { return line_.Timing(); }

  private:
    PortComponent& line_;
    TraceFile& trace_;
    LineSettings settings_;
};

}  // namespace probelyn
