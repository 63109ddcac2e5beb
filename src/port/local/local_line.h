#pragma once

#include <memory>
#include <optional>
#include <string>

#include "com_port_names.h"
#include "line_transport.h"

namespace probelyn {

class LineLock;
class OsLine;

// The system's own serial line as a transport: a device given by name or
// numbered COMn, claimed with a lock other programs see (LineLock) before it
// opens, so that one another program holds is busy and never opened, and
// given back, lock and all, at each Close.
class LocalLine : public LineTransport {
  public:
    explicit LocalLine(ComPortNames names);
    ~LocalLine() override;

    void Open(const LineSettings& settings) override;
    void ChangeSettings(const LineSettings& settings) override;
    void Close() override;
    int AppliedRate() override;
    std::size_t Queued() override;
    void ReadInto(std::string& into, std::size_t max) override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override;
    bool AwaitInput(std::chrono::nanoseconds timeout, std::stop_token stop) override;

  private:
    // The device a line name leads to: the one given, or COMn's.
    std::optional<std::string> DeviceOf(const LineName& line) const;

    ComPortNames names_;
    std::unique_ptr<LineLock> lock_;
    std::unique_ptr<OsLine> os_;
};

}  // namespace probelyn
