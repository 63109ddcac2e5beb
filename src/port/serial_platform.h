#pragma once

#include <QSerialPort>
#include <chrono>
#include <stop_token>
#include <string>
#include <utility>

// The operating system's handle of an open line: a file descriptor on Linux,
// a HANDLE on Windows.
using LineHandle = decltype(std::declval<QSerialPort&>().handle());

// The few things the serial line needs from the operating system beyond what
// Qt SerialPort offers. One implementation file per platform.

// Bytes waiting in the operating system's receive queue of an open line.
// Returns -1 with errno-style code in *error when the query fails.
qint64 OsQueuedBytes(LineHandle handle, int* error);

// Asks the driver to pass received bytes on at once instead of after its
// latency timer (USB adapters). Best effort: refusals are ignored.
void RequestLowLatency(LineHandle handle);

// The system's text for an error code returned above.
const char* OsErrorText(int error);

enum class LineWait { Readable, TimedOut, Failed, Unsupported };

// Blocks until the line's receive queue holds bytes, the timeout has passed or
// a stop is requested (which counts as timed out), to the nanosecond where the
// platform allows. Failed sets *error; Unsupported leaves the wait to Qt's
// millisecond wait.
LineWait WaitReadable(LineHandle handle, std::chrono::nanoseconds timeout, std::stop_token stop,
                      int* error);

// The output rate in bit/s that the driver applied to the open line (on Linux
// the termios2 speed), or -1 when the system cannot tell.
int AppliedRate(LineHandle handle);

// Why this user may not read and write the device (outside the dialout
// group, say), for people: see NoAccessText. Empty when the user may.
std::string DeviceAccessRefusal(const std::string& device);
