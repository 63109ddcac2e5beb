#pragma once

#include <functional>
#include <memory>

namespace probelyn {

// The system's requests to end the program, as both front ends take them: on
// POSIX systems SIGTERM, SIGINT and SIGHUP; on Windows the console's Ctrl-C
// (told as SIGINT), Ctrl-Break, its closing, a logoff or a shutdown (told as
// SIGTERM). The first request is told once to `onRequest`, from a thread of
// the watch's own, so that the program can end in order: stop its run and
// close its lines. From then on a second request ends the program at once,
// should ending in order stall. A signal ignored when the program started
// (nohup) stays ignored throughout. One object at a time; one implementation
// file per platform.
class EndRequests {
  public:
    explicit EndRequests(std::function<void(int signal)> onRequest);
    // Gives each request caught its default handling back.
    ~EndRequests();
    EndRequests(const EndRequests&) = delete;
    EndRequests& operator=(const EndRequests&) = delete;

  private:
    struct Watch;
    std::unique_ptr<Watch> watch_;
};

}  // namespace probelyn
