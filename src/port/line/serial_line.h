#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "com_port_names.h"
#include "line_transport.h"
#include "port_component.h"

namespace probelyn {

// The real line, written for the engine: a transport made from the line's
// name (the system's own line, or one at a server on the network, see
// MakeTransport), read straight into a bounded buffer of the line's own, so
// that a wait blocks in the system until bytes come, the deadline passes or
// the run is stopped. Characters carry 8 data bits with the framing's parity
// and stop bits, without flow control, so every byte value passes unchanged.
// A line the driver runs at another rate than asked for counts as not
// opened. Opened lines start with nothing received. The transport lives
// until another line is opened or this one ends, so that a line over the
// network keeps its connection from setting to setting. Opened again at other
// settings while open (to listen or not as before), the line is set anew
// without closing: its lock, its modem lines and its connection stay.
class SerialLine : public PortComponent {
  public:
    // Received bytes the line holds at most; beyond this they stay with the
    // transport, whose queue is bounded, so memory stays bounded however long
    // a line babbles. A few pages above the 999 bytes a read may take.
    static constexpr std::size_t kBufferBytes = 4 * 1024;

    // `stop` ends a connection under way to a server.
    explicit SerialLine(ComPortNames names = ComPortNames::FromDevices({}),
                        std::stop_token stop = {});
    ~SerialLine() override;

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
    // The rate the driver applied to the open line; -1 when it cannot tell.
    virtual int AppliedRate();

  private:
    // Why the open line does not count as open at its settings' rate: the
    // driver runs it at another; empty when it does not.
    std::string UnappliedRate();
    // Sets the open line anew; it stays open whatever the outcome, so that
    // no other program takes it between settings.
    void ChangeSettings(const LineSettings& settings);
    LineTransport& RequireOpen();
    // Moves what the transport holds into the buffer, while it has room.
    void PullQueued(LineTransport& transport);
    void TellTiming();
    void Release();

    ComPortNames names_;
    std::stop_token stop_;
    LineSettings settings_;
    std::unique_ptr<LineTransport> transport_;
    LineName transportFor_;
    bool open_ = false;
    std::string buffer_;
    std::function<void(const LineTiming&)> told_;
};

}  // namespace probelyn
