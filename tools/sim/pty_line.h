#pragma once

#include <string>

#include "port_component.h"

namespace probelyn {

// A pseudo-terminal standing in for a serial line. The program under test opens
// the slave device (directly or through a symlink); the instrument side reads
// and writes the master. The pty keeps its own slave descriptor open, so the
// master survives the program closing and reopening the line.
class PtyLine {
  public:
    PtyLine();
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    const std::string& SlavePath() const { return slave_path_; }
    int MasterFd() const { return master_; }

    // Places a symlink to the slave at path. Anything already there is left
    // alone and the call fails (std::runtime_error) with a message saying so.
    void LinkAt(const std::string& path);

    // The line's output and input rate in bit/s as the program set them.
    int OutputRate() const;
    // Whether the program set the line to the framing, as far as a pty keeps
    // it: odd parity and two stop bits show, even parity reads as none.
    bool FramedAs(const Framing& framing) const;
    int InputRate() const;

    // Writes all bytes to the master (the program's receive side).
    void Send(const std::string& bytes);
    // Writes what the line takes now and drops the rest, as a wire drops what
    // nobody reads: noise never waits for a reader.
    void Offer(const std::string& bytes);
    // Reads what the program has written, waiting up to timeout_ms for the
    // first byte and then taking everything that is there. Empty on timeout.
    std::string Receive(int timeout_ms);
    // Reads exactly n bytes or until timeout_ms has passed.
    std::string ReceiveExactly(std::size_t n, int timeout_ms);

    // Makes the line vanish, device link and all, as a pulled USB adapter does.
    void Vanish();

  private:
    void RemoveLink();

    int master_ = -1;
    int slave_ = -1;
    std::string slave_path_;
    std::string link_;
};

}  // namespace probelyn
