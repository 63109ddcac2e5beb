// Start-up: the window shown while the COM ports are tried, and the port
// list with each entry's description as its tooltip.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "form1_win32.h"
#include "wide_text.h"

namespace probelyn {

bool Form1::Load() {
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::EnableWindow(window_, FALSE);
    ::UpdateWindow(window_);
    ++busy_;
    const StartUp startUp = core_.Discover();
    ::EnableWindow(window_, TRUE);
    if (startUp.outcome != StartUp::Outcome::Abandoned) {
        ::SetFocus(Control(ControlId::PortList));
    }
    const bool goesOn = core_.Settle(startUp);
    --busy_;
    if (!goesOn) {
        ::DestroyWindow(window_);
    }
    return goesOn;
}

void Form1::AddPortEntry(const PortEntry& entry) {
    const HWND list = Control(ControlId::PortList);
    const LRESULT index =
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry.text).c_str()));
    ::SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), entry.com);
    descriptions_.push_back(Wide(entry.description));
}

void Form1::SelectFirstEntries() {
    ::SendMessageW(Control(ControlId::PortList), CB_SETCURSEL, 0, 0);
    ::SendMessageW(Control(ControlId::protocol), CB_SETCURSEL, 0, 0);
}

Selections Form1::Selected() const {
    const HWND list = Control(ControlId::PortList);
    const LRESULT port = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    const LRESULT com =
        port == CB_ERR ? 0 : ::SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(port), 0);
    const LRESULT protocol = ::SendMessageW(Control(ControlId::protocol), CB_GETCURSEL, 0, 0);
    return {static_cast<int>(com), protocol == CB_ERR ? -1 : static_cast<int>(protocol)};
}

void Form1::ListTooltip(LPARAM l) {
    auto* header = reinterpret_cast<NMHDR*>(l);
    if (header->hwndFrom != tooltip_ || header->code != TTN_GETDISPINFOW ||
        header->idFrom != reinterpret_cast<UINT_PTR>(portDrop_)) {
        return;
    }
    POINT pointer{};
    ::GetCursorPos(&pointer);
    ::ScreenToClient(portDrop_, &pointer);
    const LRESULT hit =
        ::SendMessageW(portDrop_, LB_ITEMFROMPOINT, 0, MAKELPARAM(pointer.x, pointer.y));
    const auto entry = static_cast<std::size_t>(LOWORD(hit));
    tip_ = HIWORD(hit) == 0 && entry < descriptions_.size() ? descriptions_[entry] : L"";
    reinterpret_cast<NMTTDISPINFOW*>(l)->lpszText = tip_.data();
}

}  // namespace probelyn
