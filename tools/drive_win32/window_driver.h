#pragma once

// Drives the real probelyn.exe from a second program, as a person would:
// through messages to its standard controls and its boxes, found by their
// ids, classes and titles. Nothing inside the program knows it is driven.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "control_ids.h"

namespace probelyn {

class WindowDriver {
  public:
    // Starts the program at path; the window is looked for by its caption.
    explicit WindowDriver(const std::wstring& path);
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    // The window once it is shown, or nullptr after timeoutMs.
    HWND Window(int timeoutMs = 30000);
    HWND Control(ControlId id);
    std::wstring Text(HWND window) const;
    std::wstring Text(ControlId id) { return Text(Control(id)); }
    // The entries of a drop-down list with their item data.
    std::vector<std::pair<std::wstring, LRESULT>> Entries(ControlId list);
    void Select(ControlId list, int index);
    // Clicks the Go button; returns at once (the run goes on in the program).
    void PressGo();
    // A box the window owns with this title, or nullptr after timeoutMs.
    HWND Box(const std::wstring& title, int timeoutMs = 60000);
    // The box's message: its static texts, joined by a line end.
    std::wstring BoxText(HWND box) const;
    // Presses a button of the box and waits until the box has gone.
    void Answer(HWND box, int button);
    // Waits until the predicate holds; false after timeoutMs.
    bool WaitUntil(const std::function<bool()>& holds, int timeoutMs = 60000);
    // The program's exit status once it has ended; -1 still running after
    // timeoutMs.
    long ExitStatus(int timeoutMs = 30000);
    bool Running() const;
    // The focused control of the program's window thread.
    HWND Focus() const;

  private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

}  // namespace probelyn
