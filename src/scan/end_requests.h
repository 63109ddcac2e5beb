#pragma once

// The system's requests to end the program on POSIX systems (SIGTERM, SIGINT
// and SIGHUP), as both front ends take them. The first request is recorded
// and makes Descriptor() readable, so that the program can end in order: stop
// its run and close its lines. From then on each of these signals has its
// default action again, so that a second request ends the program at once,
// should ending in order stall. A signal ignored when the program started
// (nohup) stays ignored throughout. One object at a time.
class EndRequests {
  public:
    EndRequests();
    // Gives each signal caught its default action back.
    ~EndRequests();
    EndRequests(const EndRequests&) = delete;
    EndRequests& operator=(const EndRequests&) = delete;

    // Readable once the first request came; -1 when none can be watched (the
    // signals then keep their default actions).
    int Descriptor() const;
    // The signal of the first request, 0 before one came.
    int Received() const;
};
