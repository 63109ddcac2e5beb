// The message loop and the keys, the Go button, the look of a run, its boxes
// and the window's close.
#include "boxes.h"
#include "control_ids.h"
#include "exit_status.h"
#include "form1_win32.h"
#include "logo_link_win32.h"
#include "wide_text.h"

namespace probelyn {

int Form1::RunMessageLoop() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return Code(ExitStatus::Success);
}

bool Form1::PreTranslate(MSG& message) {
    if (message.message == WM_KEYDOWN &&
        (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
        const HWND focus = ::GetFocus();
        // A dropped-down list closes on either key.
        for (const ControlId list : {ControlId::PortList, ControlId::protocol}) {
            if (::SendMessageW(Control(list), CB_GETDROPPEDSTATE, 0, 0)) {
                return false;
            }
        }
        const bool repeat = (message.lParam & (1 << 30)) != 0;
        if (message.wParam == VK_RETURN && !repeat) {
            if (focus == Control(ControlId::GoButton)) {
                Pressed();
            } else if (focus == Control(ControlId::Image1)) {
                OpenMakerSite(window_);
            }
        }
        return true;
    }
    return ::IsDialogMessageW(window_, &message) != FALSE;
}

void Form1::TurnEventPump() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the outer loop, once the run has returned.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

LRESULT Form1::Command(WPARAM w, LPARAM) {
    if (LOWORD(w) == ControlIdOf(ControlId::GoButton) && HIWORD(w) == BN_CLICKED) {
        Pressed();
    }
    return 0;
}

void Form1::Pressed() {
    ++busy_;
    core_.Press();
    --busy_;
    if (busy_ == 0 && destroyPending_) {
        ::DestroyWindow(window_);
    }
}

void Form1::CloseRequested() {
    if (!core_.CloseRequest()) {
        return;
    }
    if (busy_ > 0) {
        // A run or start-up below still uses the window: it goes once they
        // have returned.
        ::ShowWindow(window_, SW_HIDE);
        destroyPending_ = true;
        return;
    }
    ::DestroyWindow(window_);
}

void Form1::SetLook(const Look& look) {
    ::SetWindowTextW(Control(ControlId::GoButton), Wide(look.caption).c_str());
    ::EnableWindow(Control(ControlId::PortList), look.portList);
    ::EnableWindow(Control(ControlId::protocol), look.protocol);
}

void Form1::ShowBox(const Box& box) {
    ShowBoxOver(window_, box);
}

bool Form1::AskYesNo(const std::string& title, const std::string& question) {
    return AskOver(window_, title, question);
}

void Form1::CloseWindow() {
    AnswerOpenBox(window_);
    ::SendMessageW(window_, WM_CLOSE, 0, 0);
}

}  // namespace probelyn
