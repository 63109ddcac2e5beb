#pragma once

#include <memory>
#include <stop_token>

// The requests to end the scan (SIGINT and SIGTERM on Linux, Ctrl-C and
// Ctrl-Break on Windows): the first asks every line's scan to stop, so that
// each line is closed; a second one ends the program at once. One
// implementation file per platform.
class EndSignals {
  public:
    explicit EndSignals(std::stop_source& stop);
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // The signal that came (SIGINT, SIGTERM), 0 when none did.
    int Received() const;

  private:
    struct Watcher;
    std::unique_ptr<Watcher> watcher_;
};
