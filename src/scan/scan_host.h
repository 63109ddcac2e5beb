#pragma once

#include <string>

// What a scan run needs from the window, and all it may touch there.
class ScanHost {
  public:
    virtual ~ScanHost() = default;

    // Shows Message in the status line; drawn by the next DrawProgress or
    // event turn, whichever comes first.
    virtual void SetStatus(const std::string& Message) = 0;
    virtual void SetBar(int Current, int Max) = 0;
    // Draws the status line and the bar as they stand, handling no input.
    virtual void DrawProgress() = 0;
    virtual void ClearBar() = 0;
    // The modal found report, then the found status.
    virtual void DoFound(const std::string& Txt) = 0;
    // A modal Yes/No question box; true for Yes.
    virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
    // A modal exclamation box with an OK button.
    virtual void Warn(const std::string& title, const std::string& text) = 0;
    // Handles pending window events once (a Stop press, a close request).
    virtual void PumpEvents() = 0;

    // The line number kept with the selected port list entry.
    virtual int SelectedLine() = 0;
    // The selected index of the protocol list.
    virtual int SelectedProtocol() = 0;
    virtual void EnablePortList(bool enabled) = 0;

    virtual bool CancelRequested() = 0;
    virtual void ClearCancelRequested() = 0;
    virtual bool CloseRequested() = 0;
    virtual void CloseWindow() = 0;
};
