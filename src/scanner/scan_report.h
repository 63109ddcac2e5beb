#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "port_component.h"
#include "scan_plan.h"

// A line as the user knows it: the device as given (or as discovery names
// it) and its COM number, where discovery gives one.
struct LineName {
    std::string device;
    std::optional<int> com;
};

// Where probelyn-scan's results go: one line per event on stdout, in the
// window's words or as JSON Lines; in words, errors go to stderr. Every
// worker reports here.
class ScanReport {
  public:
    ScanReport(bool json, std::FILE* out, std::FILE* err);

    // The progress line on the terminal is cleared before each event.
    void ClearProgressFirst() { clearProgress_ = true; }

    void Found(const LineName& line, const Find& find, const Framing& framing);
    void Error(const LineName& line, const std::string& message);
    void Aborted();
    // The final event: how many finds, after how long.
    void Done();
    int Finds() const;

  private:
    double Elapsed() const;
    void Emit(std::FILE* stream, const std::string& line);

    bool json_;
    std::FILE* out_;
    std::FILE* err_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    mutable std::mutex mutex_;
    int finds_ = 0;
    bool clearProgress_ = false;
};

// A JSON string literal of the text.
std::string JsonString(const std::string& text);
