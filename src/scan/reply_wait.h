#pragma once

#include <functional>
#include <string>

#include "clock.h"
#include "port_component.h"
#include "port_failure.h"

namespace probelyn {

// The timed waits for a reply after a probe's request. Each polls the line's
// count of waiting bytes until enough are in or the time limit is up, then
// takes the reply with one Read(999). Between count checks it blocks on the
// line for new input (until the clock's wake latency before the end, then it
// polls) instead of spinning, so a reply is judged the moment its last awaited
// byte is in and a wait with no reply lasts its full limit, to within a few
// microseconds, without burning a core, also while stray bytes trickle in.
//
// Adapters that echo what is sent (two-wire RS-485) hand the request back
// before the reply. Given the request, a wait that sees the received bytes
// begin with a copy of it skips the copy and judges what follows, within the
// same limit counted from the send; that takes a second read.
//
// A stop requested through the watched stop token ends any wait at once; what
// came by then is judged, and the caller asks the token whether to believe it.
class ReplyWait {
  public:
    static constexpr int kReadSize = 999;

    ReplyWait(PortComponent& Prt, Clock& clock) : Prt_(Prt), clock_(clock) {}

    // The stop that ends every wait from now on.
    void WatchStop(std::stop_token stop) { stop_ = std::move(stop); }
    // Where a failure of the line that a wait or a probe passes over is
    // recorded from now on (the waits go on as if no byte had come).
    void RecordFailuresIn(ErrorRecord& record) { record_ = &record; }
    void Record(const PortFailure& failure);

    // True when the reply begins with Data, letter case folded. Reports no
    // failure: a failing line counts as "not enough yet" and the wait ends at
    // its limit; a failed read counts as an empty reply.
    bool LookFor(const std::string& Data, int Timeout, const std::string& sent = {});
    // Exactly Length reply bytes, or empty when fewer came in time. Failures
    // of the line pass to the caller.
    std::string WaitFor(int Length, int Timeout, const std::string& sent = {});

    // Returns once no byte has come for `quiet`, or after Timeout ms. Takes
    // nothing from the line; a failing line ends it.
    void AwaitQuiet(Clock::Duration quiet, int Timeout);

    // What the last wait took (a copy of the request it skipped left out),
    // and when its window ended.
    const std::string& LastReply() const { return lastReply_; }
    Clock::Duration LastDeadline() const { return lastDeadline_; }
    // How many bytes the frame a reply begins wants, as far as its bytes tell.
    using FrameSize = std::function<std::size_t(const std::string&)>;
    // Reads on into `reply` while its frame wants more: until it has them,
    // the deadline passes, or no byte comes for `quiet` (a zero `quiet`
    // waits to the deadline). Takes no byte beyond the frame; a failing line
    // ends it.
    void ReadOn(std::string& reply, const FrameSize& size, Clock::Duration deadline,
                Clock::Duration quiet);

    // Work that the next wait does once its clock has started, before it
    // blocks (drawing the progress of the scan costs no time of its own then).
    void DuringNextWait(std::function<void()> work) { pendingWork_ = std::move(work); }
    // Does that work now if no wait has done it.
    void RunPendingWork();

  private:
    // Takes the reply: `want` bytes, after a copy of `sent` when the line
    // echoes, or what came by the deadline.
    std::string Receive(int want, Clock::Duration deadline, bool passFailures,
                        const std::string& sent);
    // Returns when `want` bytes are waiting or the deadline has passed. With
    // passFailures false a failing line sleeps out the time left instead.
    void Await(int want, Clock::Duration deadline, bool passFailures);
    void BlockUntilInputOr(Clock::Duration deadline, Clock::Duration now, bool passFailures);

    PortComponent& Prt_;
    Clock& clock_;
    std::stop_token stop_;
    std::function<void()> pendingWork_;
    ErrorRecord* record_ = nullptr;
    std::string lastReply_;
    Clock::Duration lastDeadline_{};
};

// Folds A..Z onto a..z. Bytes 0x80..0xFF are left as they are: their meaning
// as letters depends on a code page, and replies are binary there.
std::string FoldCase(std::string bytes);

}  // namespace probelyn
