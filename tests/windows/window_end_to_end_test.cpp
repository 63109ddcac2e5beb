// The real probelyn.exe under Wine, driven from this second program as a
// person would drive it: its controls and boxes found by id, class and title.
// scripts/test-windows puts simulated instruments behind the prefix's COM
// ports first: COM7 Modbus, COM8 ASCII, COM9 LyraBus (all at 460800 baud),
// and COM10 a Modbus instrument that the script unplugs once told so; for
// the NoPort cases there is none. PROBELYN_WINDOW_EXE names the program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "window_driver.h"
#include "window_layout.h"

namespace probelyn {

namespace {

std::wstring Program() {
    const wchar_t* path = _wgetenv(L"PROBELYN_WINDOW_EXE");
    return path != nullptr ? path : L"probelyn.exe";
}

class WindowEndToEndTest : public testing::Test {
  protected:
    void SetUp() override {
        driver_ = std::make_unique<WindowDriver>(Program());
        ASSERT_NE(driver_->Window(), nullptr);
        ASSERT_TRUE(Shows(ControlId::Status, L"Ready"));
    }
    void TearDown() override {
        if (driver_->Running()) {
            ::PostMessageW(driver_->Window(0), WM_CLOSE, 0, 0);
            ::PostMessageW(driver_->Window(0), WM_CLOSE, 0, 0);
            EXPECT_EQ(driver_->ExitStatus(), 0);
        }
    }
    bool Shows(ControlId id, const std::wstring& text, int timeoutMs = 60000) {
        return driver_->WaitUntil([&] { return driver_->Text(id) == text; }, timeoutMs);
    }
    bool Scanning() {
        return driver_->WaitUntil(
            [&] { return driver_->Text(ControlId::Status).rfind(L"Trying ", 0) == 0; });
    }
    // Starts a scan that finds nothing: the Modbus instrument asked in LyraBus.
    void StartSilentScan(int portEntry) {
        driver_->Select(ControlId::PortList, portEntry);
        driver_->Select(ControlId::protocol, 0);
        driver_->PressGo();
        ASSERT_TRUE(Scanning());
        EXPECT_EQ(driver_->Text(ControlId::GoButton), L"Stop");
    }
    std::unique_ptr<WindowDriver> driver_;
};

RECT PlaceIn(HWND control) {
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

TEST_F(WindowEndToEndTest, TextsEntriesAndLayout) {
    const HWND window = driver_->Window();
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 512);
    EXPECT_EQ(client.bottom, 178);
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    for (const ControlLayout& control : WindowLayout()) {
        const HWND hwnd = driver_->Control(control.id);
        ASSERT_NE(hwnd, nullptr) << control.name;
        const HWND container =
            control.container == ControlId::Window ? window : driver_->Control(control.container);
        EXPECT_EQ(::GetParent(hwnd), container) << control.name;
        const RECT place = PlaceIn(hwnd);
        EXPECT_EQ(place.left, control.place.left / 15) << control.name;
        EXPECT_EQ(place.top, control.place.top / 15) << control.name;
        EXPECT_EQ(place.right - place.left, control.place.width / 15) << control.name;
        if (control.kind != ControlKind::DropDownList) {
            EXPECT_EQ(place.bottom - place.top, control.place.height / 15) << control.name;
        }
        if (control.text != nullptr && control.kind != ControlKind::CellRow) {
            EXPECT_EQ(driver_->Text(hwnd),
                      std::wstring(control.text, control.text + strlen(control.text)))
                << control.name;
        }
    }
    EXPECT_EQ(driver_->Text(window), L"VKT/VRN Probelyn");
    EXPECT_EQ(driver_->Text(ControlId::Label2), L"v1.5");
    using Entries = std::vector<std::pair<std::wstring, LRESULT>>;
    EXPECT_EQ(driver_->Entries(ControlId::PortList),
              (Entries{{L"COM7", 7}, {L"COM8", 8}, {L"COM9", 9}, {L"COM10", 10}}));
    EXPECT_EQ(driver_->Entries(ControlId::protocol),
              (Entries{{L"LyraBus", 0}, {L"LyrASCII", 0}, {L"Modbus", 0}}));
    EXPECT_EQ(::SendMessageW(driver_->Control(ControlId::PortList), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(driver_->Control(ControlId::protocol), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(driver_->Focus(), driver_->Control(ControlId::PortList));
}

struct FindCase {
    int portEntry;
    int protocol;
    const wchar_t* found;
};

TEST_F(WindowEndToEndTest, FindsAnInstrumentOfEachProtocol) {
    for (const FindCase c :
         {FindCase{0, 2, L"ModBus device on COM7 at 460800 baudrate on station 1"},
          FindCase{1, 1, L"ASCII device on COM8 at 460800 baudrate on station 1"},
          FindCase{2, 0, L"Lyrabus device on COM9 at 460800 baudrate on station 2"}}) {
        driver_->Select(ControlId::PortList, c.portEntry);
        driver_->Select(ControlId::protocol, c.protocol);
        driver_->PressGo();
        const HWND box = driver_->Box(L"Device Found");
        ASSERT_NE(box, nullptr) << c.found;
        EXPECT_EQ(driver_->BoxText(box), c.found);
        driver_->Answer(box, IDOK);
        EXPECT_TRUE(Shows(ControlId::Status, std::wstring(L"Device Found: ") + c.found));
        EXPECT_TRUE(Shows(ControlId::GoButton, L"Go"));
        EXPECT_TRUE(::IsWindowEnabled(driver_->Control(ControlId::PortList)));
        EXPECT_FALSE(::IsWindowEnabled(driver_->Control(ControlId::protocol)));
    }
}

TEST_F(WindowEndToEndTest, StopEndsTheScan) {
    StartSilentScan(0);
    driver_->PressGo();
    EXPECT_TRUE(Shows(ControlId::Status, L"Cancelled by user"));
    EXPECT_TRUE(Shows(ControlId::GoButton, L"Go"));
    EXPECT_TRUE(driver_->WaitUntil(
        [&] { return ::IsWindowEnabled(driver_->Control(ControlId::PortList)) != FALSE; }));
}

TEST_F(WindowEndToEndTest, CloseRequestDuringAScanEndsTheProgram) {
    StartSilentScan(0);
    ::PostMessageW(driver_->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(driver_->ExitStatus(), 0);
}

// Logging off: the program agrees, then stops the scan and goes.
TEST_F(WindowEndToEndTest, EndOfTheSessionDuringAScanEndsTheProgram) {
    StartSilentScan(0);
    DWORD_PTR agreed = 0;
    ::SendMessageTimeoutW(driver_->Window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                          30000, &agreed);
    EXPECT_EQ(agreed, TRUE);
    ::SendMessageTimeoutW(driver_->Window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                          30000, nullptr);
    EXPECT_EQ(driver_->ExitStatus(), 0);
}

TEST_F(WindowEndToEndTest, LineVanishingMidScanIsAPortErrorAndTheWindowStays) {
    StartSilentScan(3);
    std::ofstream(std::getenv("PROBELYN_UNPLUG_FILE")) << "unplug COM10\n";
    // A box for this rate and each one after it, which no longer opens, then
    // the question of a scan that found nothing.
    int portErrors = 0;
    while (const HWND box = driver_->Box(L"Port Error", portErrors == 0 ? 60000 : 5000)) {
        EXPECT_NE(driver_->BoxText(box).find(L" caused the following error: "), std::wstring::npos);
        driver_->Answer(box, IDOK);
        ++portErrors;
    }
    EXPECT_GE(portErrors, 1);
    const HWND question = driver_->Box(L"No Instrument Detected");
    ASSERT_NE(question, nullptr);
    driver_->Answer(question, IDNO);
    EXPECT_TRUE(Shows(ControlId::GoButton, L"Go"));
    EXPECT_TRUE(driver_->Running());
    EXPECT_TRUE(::IsWindowVisible(driver_->Window()));
}

// A key as the keyboard posts it to the focused control; repeated when held.
void Key(HWND focused, WPARAM key, bool repeat = false) {
    ::PostMessageW(focused, WM_KEYDOWN, key, 1 | (repeat ? (1L << 30) : 0));
    ::PostMessageW(focused, WM_KEYUP, key, 1 | (1L << 30) | (1L << 31));
}

// Tab from the port list reaches Go; Return there starts a scan and stops it,
// once each however long held; Esc and Return on a list do nothing.
TEST_F(WindowEndToEndTest, KeysMoveTheFocusAndPressGoOnce) {
    Key(driver_->Focus(), VK_RETURN);  // on the port list
    Key(driver_->Focus(), VK_ESCAPE);
    Key(driver_->Focus(), VK_TAB);
    ASSERT_TRUE(driver_->WaitUntil(
        [&] { return driver_->Focus() == driver_->Control(ControlId::GoButton); }, 10000));
    EXPECT_EQ(driver_->Text(ControlId::Status), L"Ready");
    const HWND go = driver_->Control(ControlId::GoButton);
    Key(go, VK_RETURN);
    ASSERT_TRUE(Scanning());
    Key(go, VK_RETURN, true);
    Key(go, VK_RETURN, true);
    ::Sleep(500);
    EXPECT_EQ(driver_->Text(go), L"Stop");
    Key(go, VK_RETURN);
    EXPECT_TRUE(Shows(ControlId::Status, L"Cancelled by user"));
    Key(driver_->Focus(), VK_TAB);
    EXPECT_TRUE(driver_->WaitUntil(
        [&] { return driver_->Focus() == driver_->Control(ControlId::protocol); }, 10000));
    Key(driver_->Focus(), VK_TAB);
    EXPECT_TRUE(driver_->WaitUntil(
        [&] { return driver_->Focus() == driver_->Control(ControlId::Image1); }, 10000));
}

void Mouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    ::SendInput(1, &input, sizeof input);
    ::Sleep(100);
}

// A right-button drag from a point of the window by (40, 28), released
// there; the pointer then moves on. Returns how far the window moved.
POINT RightDrag(HWND window, HWND from, POINT at) {
    RECT before{};
    ::GetWindowRect(window, &before);
    ::ClientToScreen(from, &at);
    ::SetCursorPos(at.x, at.y);
    ::Sleep(200);
    Mouse(MOUSEEVENTF_RIGHTDOWN);
    for (int step = 1; step <= 4; ++step) {
        ::SetCursorPos(at.x + 10 * step, at.y + 7 * step);
        ::Sleep(100);
    }
    Mouse(MOUSEEVENTF_RIGHTUP);
    ::SetCursorPos(at.x + 80, at.y + 80);  // after the release: stays
    ::Sleep(300);
    RECT after{};
    ::GetWindowRect(window, &after);
    return {after.left - before.left, after.top - before.top};
}

// The surface and the description move the window; the white strip beside
// the description and the version label on it do not.
TEST_F(WindowEndToEndTest, RightButtonDragMovesTheWindowUntilReleased) {
    const HWND window = driver_->Window();
    const HWND strip = driver_->Control(ControlId::Picture1);
    for (const POINT at : {POINT{355, 30}, POINT{470, 8}}) {
        const POINT moved = RightDrag(window, strip, at);
        EXPECT_EQ(moved.x, 0) << at.x;
        EXPECT_EQ(moved.y, 0) << at.x;
    }
    const POINT surface = RightDrag(window, window, {10, 90});  // left of the port list
    EXPECT_EQ(surface.x, 40);
    EXPECT_EQ(surface.y, 28);
    const POINT description = RightDrag(window, driver_->Control(ControlId::Label4), {30, 5});
    EXPECT_EQ(description.x, 40);
    EXPECT_EQ(description.y, 28);
}

// With no COM port at all.
TEST(WindowNoPortTest, CriticalBoxThenTheProgramEnds) {
    WindowDriver driver(Program());
    const HWND box = driver.Box(L"Critical Error");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(driver.BoxText(box).find(L"No serial ports detected!"), std::wstring::npos);
    EXPECT_EQ(driver.Text(::GetDlgItem(box, IDOK)), L"OK");
    driver.Answer(box, IDOK);
    EXPECT_EQ(driver.ExitStatus(), 1);
}

}  // namespace

}  // namespace probelyn
