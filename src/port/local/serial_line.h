#pragma once

#include <memory>
#include <optional>
#include <string>

#include "com_port_names.h"
#include "port_component.h"

namespace probelyn {

class LineLock;
class OsLine;

// The real serial line, written for the engine: the system's line (OsLine)
// read straight into a bounded buffer of the line's own, so that a wait
// blocks in the system until bytes come, the deadline passes or the run is
// stopped. Characters carry 8 data bits with the framing's parity and stop
// bits, without flow control, so every byte value passes unchanged. A line
// is claimed with a lock other programs see (LineLock); one another program
// holds is busy and never opened, and a line the driver runs at another
// rate than asked for counts as not opened. Opened lines start with nothing
// received, and get back the settings they had when closed.
class SerialLine : public PortComponent {
  public:
    // Received bytes the line holds at most; beyond this they stay with the
    // system, whose queue is bounded, so memory stays bounded however long a
    // line babbles. A few pages above the 999 bytes a read may take.
    static constexpr std::size_t kBufferBytes = 4 * 1024;

    explicit SerialLine(ComPortNames names = ComPortNames::FromDevices({}));
    ~SerialLine() override;

    int Open(const LineSettings& settings) override;
    int Close() override;
    int InputCount() override;
    std::string Read(int max) override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override;
    bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) override;

  protected:
    // The rate the driver applied to the open line; -1 when it cannot tell.
    virtual int AppliedRate();

  private:
    // The device a line name leads to: the one given, or COMn's.
    std::optional<std::string> DeviceOf(const LineName& line) const;
    // Closes the line and fails when the driver runs it at another rate.
    void RefuseUnappliedRate();
    OsLine& RequireOpen();
    // Moves what the system holds into the buffer, while it has room.
    void PullQueued(OsLine& os);
    void Release();

    ComPortNames names_;
    LineSettings settings_;
    std::unique_ptr<LineLock> lock_;
    std::unique_ptr<OsLine> os_;
    std::string buffer_;
};

}  // namespace probelyn
