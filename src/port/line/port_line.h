#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "com_port_names.h"
#include "line_backend.h"
#include "port_component.h"

namespace probelyn {

// The port component over a line of any kind: the backend its name calls for
// (the system's own serial port, or a line at a server on the network, see
// MakeBackend), read straight into a bounded buffer of its own, so that a
// wait blocks in the system until bytes come, the deadline passes or the run
// is stopped. Characters carry 8 data bits with the framing's parity and stop
// bits, without flow control, so every byte value passes unchanged. A line
// whose driver or server runs it at another rate than asked for counts as not
// opened. Opened lines start with nothing received. The backend lives until
// another line is opened or this one ends, so that a line over the network
// keeps its connection from setting to setting. Opened again at other
// settings while open (to listen or not as before), the line is set anew
// without closing: its lock, its modem lines and its connection stay.
class PortLine : public PortComponent {
  public:
    // Received bytes the line holds at most; beyond this they stay with the
    // backend, whose queue is bounded, so memory stays bounded however long
    // a line babbles. A few pages above the 999 bytes a read may take.
    static constexpr std::size_t kBufferBytes = 4 * 1024;

    // `stop` ends a connection under way to a server.
    explicit PortLine(ComPortNames names = ComPortNames::FromDevices({}),
                      std::stop_token stop = {});
    ~PortLine() override;

    int Open(const LineSettings& settings) override;
    int Close() override;
    int InputCount() override;
    std::string Read(int max) override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override;
    bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) override;
    LineTiming Timing() const override;

    // Called once, when the line's timing over the network is first known.
    void WhenTimed(std::function<void(const LineTiming&)> told) { told_ = std::move(told); }

  protected:
    // The rate the open line runs at, as its driver or server says; -1 when
    // nobody says.
    virtual int AppliedRate();

  private:
    // Why the open line does not count as open at its settings' rate: it
    // runs at another; empty when it does not.
    std::string UnappliedRate();
    // Sets the open line anew; it stays open whatever the outcome, so that
    // no other program takes it between settings.
    void ChangeSettings(const LineSettings& settings);
    LineBackend& RequireOpen();
    // Moves what the backend holds into the buffer, while it has room.
    void PullQueued(LineBackend& backend);
    void TellTiming();
    void Release();

    ComPortNames names_;
    std::stop_token stop_;
    LineSettings settings_;
    std::unique_ptr<LineBackend> backend_;
    LineName backendFor_;
    bool open_ = false;
    std::string buffer_;
    std::function<void(const LineTiming&)> told_;
};

}  // namespace probelyn
