#pragma once

#include <cstdio>
#include <string>

#include "ending.h"

namespace probelyn {

// One stream that results go to (standard output, the trace file): every line
// written and flushed at once and checked. The first failure is told to the
// ending, and the stream takes nothing more. Callers write one line at a time.
class Output {
  public:
    Output(std::FILE* file, std::string what, Ending& ending)
        : file_(file), what_(std::move(what)), ending_(ending) {}

    void Line(const std::string& text);
    // Writes the text as it is (a help text, say), checked as a line is.
    void Text(const std::string& text);

  private:
    std::FILE* file_;
    std::string what_;  // for the message: "the results", "the trace t.jsonl"
    Ending& ending_;
    bool failed_ = false;
};

}  // namespace probelyn
