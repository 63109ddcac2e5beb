#pragma once

#include <string>
#include <string_view>

namespace probelyn {

// How the run controls look: the Go button's caption and whether each list
// takes input.
struct Look {
    const char* caption;
    bool portList;
    bool protocol;
    bool operator==(const Look& other) const {
        return std::string_view(caption) == other.caption && portList == other.portList &&
               protocol == other.protocol;
    }
};

enum class BoxKind { Information, Warning, Critical };

// A modal box owned by the window, with one OK button; details, when there
// are any, are shown on request.
struct Box {
    BoxKind kind;
    std::string title;
    std::string text;
    std::string details;
};

// A line listed at start-up: its text, its item data and, when the system
// knows, which adapter it is (the entry's tooltip).
struct PortEntry {
    std::string text;
    int com;
    std::string description;
};

// What the two lists have selected: the port entry's item data (0 for none)
// and the protocol's index (-1 for none).
struct Selections {
    int com;
    int protocolIndex;
};

// What the window core needs of a toolkit's window.
class WindowSurface {
  public:
    virtual ~WindowSurface() = default;
    // Shows the status text and repaints it before returning.
    virtual void ShowStatus(const std::string& text) = 0;
    // Shows the bar's first n cells; drawn at the next event-pump turn.
    virtual void ShowCells(int n) = 0;
    virtual void SetLook(const Look& look) = 0;
    // Shows a box and returns once it was dismissed.
    virtual void ShowBox(const Box& box) = 0;
    // Asks a question with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& title, const std::string& question) = 0;
    // Handles every event waiting now, then returns.
    virtual void TurnEventPump() = 0;
    // Answers a box that is up (as its close button would), then closes the
    // window.
    virtual void CloseWindow() = 0;
    virtual void AddPortEntry(const PortEntry& entry) = 0;
    virtual void SelectFirstEntries() = 0;
    virtual Selections Selected() const = 0;
};

}  // namespace probelyn
