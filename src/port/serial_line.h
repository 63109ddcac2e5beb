#pragma once

#include <QSerialPort>

#include "com_port_names.h"
#include "port_component.h"

// The real serial line: QSerialPort driven without an event loop. Writes are
// handed to the OS at once; counts and reads include what the OS still queues,
// so the scan can poll the line from a busy loop. Characters carry 8 data bits
// with the framing's parity and stop bits, without flow control, so every
// byte value passes unchanged. A line that another program
// holds (its lock names a living process) is busy and never opened, and a
// line the driver runs at another rate than asked for counts as not opened.
class SerialLine : public PortComponent {
  public:
    // Received bytes Qt may hold for the line. Qt reads the line whenever an
    // event loop runs (a message box is up, say); beyond this the bytes stay
    // with the OS, whose queue is bounded, so memory stays bounded however
    // long that lasts. A few pages above the 999 bytes a read may take.
    static constexpr qint64 kReadBufferBytes = 4 * 1024;

    explicit SerialLine(ComPortNames names);
    ~SerialLine() override;

    int Open(const LineSettings& settings) override;
    int Close() override;
    int InputCount() override;
    std::string Read(int max) override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override;
    bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) override;

    // Received bytes Qt holds for the line now.
    qint64 BufferedBytes() const { return port_.bytesAvailable(); }

  protected:
    // The rate the driver applied to the open line; -1 when it cannot tell.
    virtual int AppliedRate();

  private:
    // The device a line name leads to: the one given, or COMn's.
    std::optional<std::string> DeviceOf(const LineName& line) const;
    // Fails when another program holds the line, or its lock cannot be read.
    void RefuseLockedLine(const std::string& device) const;
    // Closes the line and fails when the driver runs it at another rate.
    void RefuseUnappliedRate();
    // Throws the port's pending error, if any, as a failure of the member.
    void ThrowOnError();
    void RequireOpen() const;
    // Bytes the OS still queues for the line; a failing query is a failure.
    qint64 OsQueued();
    // Moves what the OS has queued into Qt's buffer, up to max bytes in all.
    void PullQueued(int max);

    ComPortNames names_;
    QSerialPort port_;
    LineSettings settings_;
};
