#include "boxes.h"

#include "resource_ids.h"
#include "wide_text.h"
#include "window_texts.h"

namespace probelyn {

namespace {

UINT IconFor(BoxKind kind) {
    switch (kind) {
        case BoxKind::Information:
            return MB_ICONINFORMATION;
        case BoxKind::Warning:
            return MB_ICONWARNING;
        case BoxKind::Critical:
            break;
    }
    return MB_ICONERROR;
}

// The box with details: its texts, and the height it has with the details
// shown and hidden.
struct DetailsBox {
    const Box* box;
    int hiddenHeight = 0;
    bool shown = false;
};

void ShowDetails(HWND dialog, DetailsBox& state) {
    state.shown = !state.shown;
    const HWND reasons = ::GetDlgItem(dialog, IDC_BOX_REASONS);
    RECT frame{};
    ::GetWindowRect(dialog, &frame);
    RECT edit{};
    ::GetWindowRect(reasons, &edit);
    RECT margin{0, 0, 0, 8};
    ::MapDialogRect(dialog, &margin);
    const int height = state.shown ? edit.bottom - frame.top + margin.bottom : state.hiddenHeight;
    ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, height,
                   SWP_NOMOVE | SWP_NOZORDER);
    ::ShowWindow(reasons, state.shown ? SW_SHOW : SW_HIDE);
    ::SetDlgItemTextW(dialog, IDC_BOX_DETAILS,
                      Wide(state.shown ? texts::kHideDetails : texts::kShowDetails).c_str());
}

INT_PTR CALLBACK DetailsProcedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
    auto* state = reinterpret_cast<DetailsBox*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            state = reinterpret_cast<DetailsBox*>(l);
            ::SetWindowLongPtrW(dialog, DWLP_USER, l);
            ::SetWindowTextW(dialog, Wide(state->box->title).c_str());
            ::SetDlgItemTextW(dialog, IDC_BOX_TEXT, Wide(state->box->text).c_str());
            ::SetDlgItemTextW(dialog, IDC_BOX_REASONS, WithCrLf(state->box->details).c_str());
            ::SetDlgItemTextW(dialog, IDC_BOX_DETAILS, Wide(texts::kShowDetails).c_str());
            ::SendDlgItemMessageW(dialog, IDC_BOX_ICON, STM_SETICON,
                                  reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_ERROR)), 0);
            RECT frame{};
            ::GetWindowRect(dialog, &frame);
            state->hiddenHeight = frame.bottom - frame.top;
            ::MessageBeep(MB_ICONERROR);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) {
                ::EndDialog(dialog, IDOK);
            } else if (LOWORD(w) == IDC_BOX_DETAILS && HIWORD(w) == BN_CLICKED) {
                ShowDetails(dialog, *state);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

BOOL CALLBACK AnswerIfOwned(HWND window, LPARAM owner) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && ::IsWindowVisible(window) &&
        ::GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner)) {
        const int answer = ::GetDlgItem(window, IDNO) != nullptr ? IDNO : IDOK;
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, answer)));
    }
    return TRUE;
}

}  // namespace

void ShowBoxOver(HWND owner, const Box& box) {
    if (box.details.empty()) {
        ::MessageBoxW(owner, Wide(box.text).c_str(), Wide(box.title).c_str(),
                      MB_OK | IconFor(box.kind));
        return;
    }
    DetailsBox state{&box};
    ::DialogBoxParamW(reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(owner, GWLP_HINSTANCE)),
                      MAKEINTRESOURCEW(IDD_DETAILS_BOX), owner, DetailsProcedure,
                      reinterpret_cast<LPARAM>(&state));
}

bool AskOver(HWND owner, const std::string& title, const std::string& question) {
    return ::MessageBoxW(owner, Wide(question).c_str(), Wide(title).c_str(),
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void AnswerOpenBox(HWND owner) {
    ::EnumThreadWindows(::GetCurrentThreadId(), AnswerIfOwned, reinterpret_cast<LPARAM>(owner));
}

}  // namespace probelyn
