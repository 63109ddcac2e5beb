#include "form1_win32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "boxes.h"
#include "control_ids.h"
#include "exit_status.h"
#include "progress_cells.h"
#include "protocol.h"
#include "resource_ids.h"
#include "small_controls.h"
#include "wide_text.h"
#include "window_texts.h"

namespace probelyn {

namespace {

constexpr wchar_t kWindowClass[] = L"ProbelynForm1";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
std::size_t IndexOf(ControlId id) {
    return static_cast<std::size_t>(id);
}

struct ClassAndStyle {
    const wchar_t* windowClass;
    DWORD style;
};

ClassAndStyle ClassFor(const ControlLayout& control) {
    switch (control.kind) {
        case ControlKind::PictureBox:
            return {kStripClass, 0};
        case ControlKind::Picture:
            return {kPictureClass, control.id == ControlId::Image1 ? WS_TABSTOP : 0U};
        case ControlKind::Label:
            // Presses on a label stay there; the description's fall through
            // to the strip, which moves the window.
            return {WC_STATICW, static_cast<DWORD>(SS_LEFT | SS_NOPREFIX |
                                                   (control.id == ControlId::Label4 ||
                                                            control.id == ControlId::Label2
                                                        ? 0
                                                        : SS_NOTIFY))};
        case ControlKind::DropDownList:
            return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
        case ControlKind::Button:
            return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP};
        case ControlKind::Frame:
            return {kFrameClass, 0};
        case ControlKind::CellRow:
            break;
    }
    return {kCellRowClass, WS_CLIPSIBLINGS};
}

COLORREF TextColour(ColourRole role) {
    switch (role) {
        case ColourRole::DarkBlue:
            return RGB(kDarkBlue[0], kDarkBlue[1], kDarkBlue[2]);
        case ColourRole::WindowText:
            return ::GetSysColor(COLOR_WINDOWTEXT);
        default:
            return ::GetSysColor(COLOR_BTNTEXT);
    }
}

// The dropped-down lists show this many entries before they scroll.
constexpr int kDroppedEntries = 8;

}  // namespace

Form1::Form1(HINSTANCE instance)
    : instance_(instance), core_(*this, nullptr, ComPortNames::System()) {
    RegisterSmallControls(instance);
    WNDCLASSEXW windowClass{sizeof windowClass};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(::LoadImageW(
        instance, MAKEINTRESOURCEW(IDI_PROBELYN), IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
        ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(::LoadImageW(
        instance, MAKEINTRESOURCEW(IDI_PROBELYN), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
        ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);
    window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Wide(texts::kCaption).c_str(),
                                kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                                instance, this);
    dpi_ = static_cast<int>(::GetDpiForWindow(window_));
    MakeFonts();
    CreateControls();
    SetUpTooltips();
    SetUpTabOrder();
    LayOut();
    Centre();
}

Form1::~Form1() {
    if (::IsWindow(window_)) {
        ::DestroyWindow(window_);
    }
    for (HFONT font : fonts_) {
        ::DeleteObject(font);
    }
}

void Form1::MakeFonts() {
    for (const FontRole role : {FontRole::Default, FontRole::Small, FontRole::Cells}) {
        const NamedFont named = FontOf(role);
        HFONT& font = fonts_[static_cast<std::size_t>(role)];
        if (font != nullptr) {
            ::DeleteObject(font);
        }
        const int height = -static_cast<int>(std::lround(named.points * dpi_ / 72.0));
        font = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, Wide(named.family).c_str());
    }
}

void Form1::CreateControls() {
    for (const ControlLayout& control : WindowLayout()) {
        const ClassAndStyle made = ClassFor(control);
        const HWND parent =
            control.container == ControlId::Window ? window_ : Control(control.container);
        const DWORD extended =
            control.kind == ControlKind::PictureBox || control.kind == ControlKind::Frame
                ? WS_EX_CONTROLPARENT
                : 0;
        controls_[IndexOf(control.id)] = ::CreateWindowExW(
            extended, made.windowClass, control.text != nullptr ? Wide(control.text).c_str() : L"",
            WS_CHILD | WS_VISIBLE | made.style, 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlIdOf(control.id))), instance_,
            nullptr);
    }
    for (const ProtocolNames& names : kProtocolNames) {
        ::SendMessageW(Control(ControlId::protocol), CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Wide(names.listed).c_str()));
    }
    ShowPicture(Control(ControlId::Image2),
                ::LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_PADLOCK)));
    ShowPicture(Control(ControlId::Image1), ::LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_LOGO)));
    ::SetWindowTextW(Control(ControlId::Image1), Wide(texts::kLogoName).c_str());
    ::SetWindowTextW(Control(ControlId::bar), Wide(texts::kProgressName).c_str());
    // The track lies under the bar, which draws the track's cells beyond its
    // own: the two line up cell for cell.
    ::SetWindowPos(Control(ControlId::bar), HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    COMBOBOXINFO drop{sizeof drop};
    if (::GetComboBoxInfo(Control(ControlId::PortList), &drop)) {
        portDrop_ = drop.hwndList;
    }
}

void Form1::SetUpTooltips() {
    tooltip_ =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
    const auto add = [this](HWND tool, const std::wstring* text) {
        TOOLINFOW info{sizeof info};
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = window_;
        info.uId = reinterpret_cast<UINT_PTR>(tool);
        info.lpszText = text != nullptr ? const_cast<wchar_t*>(text->c_str()) : LPSTR_TEXTCALLBACKW;
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    };
    for (const ControlLayout& control : WindowLayout()) {
        if (control.tooltip != nullptr) {
            const std::wstring text = Wide(control.tooltip);
            add(Control(control.id), &text);
        }
    }
    // Each entry of the dropped-down port list tells which adapter it is.
    if (portDrop_ != nullptr) {
        add(portDrop_, nullptr);
        ::SetWindowSubclass(portDrop_, DropListProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
    }
}

LRESULT CALLBACK Form1::DropListProcedure(HWND list, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                          DWORD_PTR form) {
    if (message == WM_MOUSEMOVE) {
        auto* self = reinterpret_cast<Form1*>(form);
        const LRESULT hit = ::SendMessageW(list, LB_ITEMFROMPOINT, 0, l);
        if (hit != self->hoveredEntry_) {
            // Another entry: the tooltip asks for its text anew.
            self->hoveredEntry_ = hit;
            ::SendMessageW(self->tooltip_, TTM_UPDATE, 0, 0);
        }
    }
    return ::DefSubclassProc(list, message, w, l);
}

void Form1::SetUpTabOrder() {
    // The Tab key follows the z-order: the port list, Go, the protocol list,
    // then the logo in the strip.
    HWND after = HWND_TOP;
    for (const ControlId id :
         {ControlId::PortList, ControlId::GoButton, ControlId::protocol, ControlId::Picture1}) {
        ::SetWindowPos(Control(id), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = Control(id);
    }
}

RECT Form1::PixelsOf(const ControlLayout& control) const {
    const TwipRect& t = control.place;
    const int left = TwipsToPixels(t.left, dpi_);
    const int top = TwipsToPixels(t.top, dpi_);
    return {left, top, left + TwipsToPixels(t.width, dpi_), top + TwipsToPixels(t.height, dpi_)};
}

void Form1::LayOut() {
    for (const ControlLayout& control : WindowLayout()) {
        const HWND hwnd = Control(control.id);
        const RECT place = PixelsOf(control);
        int height = place.bottom - place.top;
        if (control.kind == ControlKind::DropDownList) {
            // The closed list as high as its place; the dropped list below.
            ::SendMessageW(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                           std::max(1, height - TwipsToPixels(90, dpi_)));
            height *= kDroppedEntries;
        }
        ::SetWindowPos(hwnd, nullptr, place.left, place.top, place.right - place.left, height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(hwnd, WM_SETFONT,
                       reinterpret_cast<WPARAM>(fonts_[static_cast<std::size_t>(control.font)]),
                       TRUE);
    }
    const SIZE frame = FrameSize();
    ::SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE Form1::FrameSize() const {
    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi_),
               TwipsToPixels(kClientHeightTwips, dpi_)};
    ::AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, WS_EX_CONTROLPARENT,
                               static_cast<UINT>(dpi_));
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void Form1::Centre() {
    MONITORINFO monitor{sizeof monitor};
    ::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const SIZE frame = FrameSize();
    ::SetWindowPos(window_, nullptr, (work.left + work.right - frame.cx) / 2,
                   (work.top + work.bottom - frame.cy) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

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
                OpenSite();
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

LRESULT CALLBACK Form1::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        form->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) {
        return ::DefWindowProcW(window, message, w, l);
    }
    return form->Handle(message, w, l);
}

LRESULT Form1::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            return Command(w, l);
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(
                StaticColours(reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w)));
        case WM_NOTIFY:
            ListTooltip(l);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            BeginMove(message);
            return 0;
        case WM_MOUSEMOVE:
            FollowPointer(false);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (moveButton_ != 0 && message == moveButton_ + 1) {
                FollowPointer(true);
            }
            return 0;
        case WM_CAPTURECHANGED:
            moveButton_ = 0;
            return 0;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(w);
            MakeFonts();
            LayOut();
            const RECT* suggested = reinterpret_cast<const RECT*>(l);
            ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            ::InvalidateRect(window_, nullptr, TRUE);
            return 0;
        }
        case WM_CLOSE:
            CloseRequested();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (w != FALSE) {
                // Windows ends the process once this returns.
                core_.EndSession();
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window_, message, w, l);
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

void Form1::BeginMove(UINT buttonDown) {
    if (buttonDown == WM_LBUTTONDOWN) {
        // The system's own move, as a press on the title bar starts it.
        ::ReleaseCapture();
        ::SendMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        return;
    }
    // The system moves a window with the left button only: the window follows
    // the pointer itself until this button is released.
    POINT pointer{};
    RECT frame{};
    ::GetCursorPos(&pointer);
    ::GetWindowRect(window_, &frame);
    grip_ = {pointer.x - frame.left, pointer.y - frame.top};
    ::SetCapture(window_);
    moveButton_ = buttonDown;
}

void Form1::FollowPointer(bool released) {
    if (moveButton_ == 0) {
        return;
    }
    POINT pointer{};
    ::GetCursorPos(&pointer);
    ::SetWindowPos(window_, nullptr, pointer.x - grip_.x, pointer.y - grip_.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (released) {
        moveButton_ = 0;
        ::ReleaseCapture();
    }
}

void Form1::OpenSite() {
    // Whatever happens, nothing is shown: no browser, no handler.
    ::ShellExecuteW(window_, L"open", Wide(texts::kMakerWebSite).c_str(), nullptr, L"c:\\",
                    SW_SHOWNORMAL);
}

HBRUSH Form1::StaticColours(HWND control, HDC dc) const {
    const auto id = static_cast<ControlId>(::GetDlgCtrlID(control) - kFirstControlId);
    const ColourRole role = LayoutOf(id).colour;
    ::SetTextColor(dc, TextColour(role));
    ::SetBkMode(dc, TRANSPARENT);
    // The label paints its place in its container's colour, text and all in
    // one go: a changed text leaves nothing of the old one behind.
    return ::GetParent(control) == Control(ControlId::Picture1)
               ? static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))
               : ::GetSysColorBrush(COLOR_BTNFACE);
}

void Form1::ShowStatus(const std::string& text) {
    const HWND status = Control(ControlId::Status);
    ::SetWindowTextW(status, Wide(text).c_str());
    ::UpdateWindow(status);
}

void Form1::ShowCells(int n) {
    n = std::clamp(n, 0, kMaxCells);
    if (n == cells_) {
        return;
    }
    const int first = std::min(n, cells_);
    const int last = std::max(n, cells_) - 1;
    cells_ = n;
    RepaintCells(Control(ControlId::bar), first, last);
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
