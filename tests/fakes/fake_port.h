#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "port_component.h"
#include "port_failure.h"

namespace probelyn {

// An in-memory port component. Each call is logged by member name; any member
// can be made to fail; Open and Close return scripted values; received bytes
// are whatever the test puts into `input`, or arrive at scripted moments of a
// virtual clock. WaitForInput moves that clock to the next arrival or by the
// full wait, as a real line blocks, or to a stop requested at a scripted
// moment.
class FakePort : public PortComponent {
  public:
    int Open(const LineSettings& settings) override;
    int Close() override;
    int InputCount() override;
    std::string Read(int max) override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override;
    bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) override;

    // Makes the named member throw PortFailure(error, text) from now on.
    void Fail(const std::string& member, LineError error = LineError::Io,
              const std::string& text = "failed");
    void Heal(const std::string& member) { failures_.erase(member); }
    // Makes the named member throw std::logic_error, as a fault of the
    // program would, from now on.
    void Break(const std::string& member) { faults_.insert(member); }
    int Count(const std::string& member) const;

    // Makes bytes arrive `after` from the clock's present moment.
    void Arrive(Clock::Duration after, const std::string& bytes);
    // Forgets the bytes still to arrive, as a line reopened at another
    // setting receives none of them.
    void DropArrivals() { arrivals_.clear(); }
    void UseClock(FakeClock* clock) { clock_ = clock; }
    // Requests a stop through `stop` `after` from the clock's present moment,
    // as a signal arriving during a wait.
    void StopAt(Clock::Duration after, std::stop_source& stop) {
        stopAt_ = clock_->Now() + after;
        stop_ = &stop;
    }
    // Called with each written request, e.g. to script a reply.
    std::function<void(const std::string&)> on_write;
    // Called at each Open with its settings, e.g. to script what a bus
    // delivers at them.
    std::function<void(const LineSettings&)> on_open;

    // What the line says time on it costs (a line over the network).
    LineTiming timing;
    LineTiming Timing() const override { return timing; }

    int open_result = 1;
    // When not empty, Open returns the value for the line set, 0 for others.
    std::map<int, int> open_by_line;
    // Open fails with this text while the rate set is one of these.
    std::map<int, std::string> open_fails_at_rate;
    // Open fails with this failure while the line set is one of these.
    std::map<int, PortFailure> open_fails_on_line;
    int close_result = 0;
    // Requests written while no line was open.
    int writes_while_closed = 0;
    int line = 0;     // COM number of the last Open
    int rate = 0;     // of the last Open
    Framing framing;  // of the last Open
    std::string input;
    std::string written;
    std::vector<std::string> calls;
    // What crossed the line, a line each: "open COM1 460800 8N1", ">> 01 03",
    // "<< 01 03", "discard", "close", and "wait 50 ms" where time passed.
    std::string transcript;

  protected:
    void Enter(const std::string& member);

  private:
    void DeliverDue();
    void Note(const std::string& line);
    Clock::Duration noted_{};

    bool open_ = false;
    FakeClock* clock_ = nullptr;
    std::multimap<Clock::Duration, std::string> arrivals_;
    Clock::Duration stopAt_{};
    std::stop_source* stop_ = nullptr;
    std::map<std::string, PortFailure> failures_;
    std::set<std::string> faults_;
};

}  // namespace probelyn
