// The window's controls made from the layout table, their fonts, tooltips,
// focus order and places at the window's DPI, and the window centred.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "control_ids.h"
#include "form1_win32.h"
#include "logo_link_win32.h"
#include "protocol.h"
#include "resource_ids.h"
#include "wide_text.h"
#include "window_texts.h"

namespace probelyn {

namespace {

constexpr wchar_t kWindowClass[] = L"ProbelynForm1";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
// The dropped-down lists show this many entries before they scroll.
constexpr int kDroppedEntries = 8;

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

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{sizeof windowClass};
    windowClass.lpfnWndProc = procedure;
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
}

}  // namespace

Form1::Form1(HINSTANCE instance, std::unique_ptr<PortComponent> port, ComPortNames names,
             DeviceDescriber describe)
    : instance_(instance),
      core_(*this, std::move(port), std::move(names), nullptr, std::move(describe)) {
    RegisterSmallControls(instance);
    RegisterWindowClass(instance, Procedure);
    window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Wide(texts::kCaption).c_str(),
                                kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                                instance, this);
    drag_ = WindowDrag(window_);
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

SmallControl Form1::SmallControlOf(ControlId id) {
    const auto colours = [this](HWND label, HDC dc) { return StaticColours(label, dc); };
    switch (id) {
        case ControlId::Picture1:
            return {.gripId = ControlIdOf(ControlId::Label4),
                    .onGripPress = [this](UINT press) { drag_.Begin(press); },
                    .colours = colours};
        case ControlId::Frame1:
            return {.colours = colours};
        case ControlId::Image1:
            return {.onClick = [this] { OpenMakerSite(window_); }};
        case ControlId::bar:
            return {.cells = [this] { return cells_; }};
        default:
            return {};
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
        SmallControl does = SmallControlOf(control.id);
        controls_[IndexOf(control.id)] = ::CreateWindowExW(
            extended, made.windowClass, control.text != nullptr ? Wide(control.text).c_str() : L"",
            WS_CHILD | WS_VISIBLE | made.style, 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlIdOf(control.id))), instance_,
            &does);
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

}  // namespace probelyn
