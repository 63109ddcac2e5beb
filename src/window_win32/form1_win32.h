#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "small_controls.h"
#include "window_core.h"
#include "window_drag_win32.h"
#include "window_layout.h"

namespace probelyn {

// The program's one window drawn with Win32: standard controls placed from
// the layout table at the window's DPI, a few small controls of its own (the
// white strip, the frame, the pictures, the cell rows), and the window core
// deciding what they show. The object is carried in the window's
// GWLP_USERDATA; one window procedure forwards to its members. Its rooms are
// those of the Qt window: the procedure, status and cells here; the controls,
// fonts, tooltips, focus order and place in form1_layout_win32.cpp; start-up
// and the port list in form1_load_win32.cpp; the keys, the Go button, the
// boxes and closing in form1_run_win32.cpp.
class Form1 : private WindowSurface {
  public:
    // The window driving the port component; names give the device of each
    // listed line, `describe` what is known of it.
    Form1(HINSTANCE instance, std::unique_ptr<PortComponent> port, ComPortNames names,
          DeviceDescriber describe);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Start-up: shows the window and lists the COM ports that open. Returns
    // false, after the critical box, when none does, and when the window was
    // closed during discovery; the window is gone then.
    bool Load();
    bool NoPortsDetected() const { return core_.NoPortsDetected(); }
    // Handles messages until the window has gone; returns the exit status.
    int RunMessageLoop();

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    LRESULT Mouse(UINT message);
    LRESULT DpiChanged(WPARAM w, LPARAM l);
    LRESULT Command(WPARAM w, LPARAM l);
    void CloseRequested();
    void Pressed();
    // Keys the window handles before the controls: Return presses the
    // focused button once however long held, Return on a list and Esc do
    // nothing, Tab moves the focus. True when the message was used.
    bool PreTranslate(MSG& message);

    // The surface the core draws on.
    void ShowStatus(const std::string& text) override;
    void ShowCells(int n) override;
    void SetLook(const Look& look) override;
    void ShowBox(const Box& box) override;
    bool AskYesNo(const std::string& title, const std::string& question) override;
    void TurnEventPump() override;
    void CloseWindow() override;
    void AddPortEntry(const PortEntry& entry) override;
    void SelectFirstEntries() override;
    Selections Selected() const override;

    HWND Control(ControlId id) const { return controls_[static_cast<std::size_t>(id)]; }
    // What each of the small controls does (see SmallControl).
    SmallControl SmallControlOf(ControlId id);
    void CreateControls();
    void SetUpTooltips();
    void SetUpTabOrder();
    void LayOut();
    void MakeFonts();
    void Centre();
    RECT PixelsOf(const ControlLayout& control) const;
    SIZE FrameSize() const;
    // A static control's colours: its text's by role, its background its
    // container's.
    HBRUSH StaticColours(HWND control, HDC dc) const;
    void ListTooltip(LPARAM l);
    static LRESULT CALLBACK DropListProcedure(HWND list, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                              DWORD_PTR form);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    std::array<HWND, 14> controls_{};
    HWND tooltip_ = nullptr;
    HWND portDrop_ = nullptr;  // the port list's dropped-down list
    std::array<HFONT, 3> fonts_{};
    int dpi_ = kBaseDpi;
    int cells_ = 0;
    std::vector<std::wstring> descriptions_;  // of the port entries
    std::wstring tip_;                        // of the entry under the pointer
    LRESULT hoveredEntry_ = -1;
    // A run or start-up is on the call stack: a window closed meanwhile is
    // hidden, and destroyed once it has returned.
    int busy_ = 0;
    bool destroyPending_ = false;
    WindowDrag drag_{nullptr};
    WindowCore core_;
};

}  // namespace probelyn
