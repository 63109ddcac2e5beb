#include "window_driver.h"

#include <stdexcept>

#include "window_texts.h"

namespace probelyn {

namespace {

constexpr int kPollMs = 50;

struct Search {
    DWORD thread;
    std::wstring title;
    HWND found;
};

}  // namespace

WindowDriver::WindowDriver(const std::wstring& path) {
    STARTUPINFOW startup{sizeof startup};
    std::wstring command = L"\"" + path + L"\"";
    if (!::CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process_)) {
        throw std::runtime_error("cannot start the program");
    }
}

WindowDriver::~WindowDriver() {
    if (Running()) {
        ::TerminateProcess(process_.hProcess, 99);
        ::WaitForSingleObject(process_.hProcess, 10000);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
}

bool WindowDriver::WaitUntil(const std::function<bool()>& holds, int timeoutMs) {
    for (int waited = 0;; waited += kPollMs) {
        if (holds()) {
            return true;
        }
        if (waited >= timeoutMs) {
            return false;
        }
        ::Sleep(kPollMs);
    }
}

HWND WindowDriver::Window(int timeoutMs) {
    const std::wstring caption(texts::kCaption, texts::kCaption + sizeof texts::kCaption - 1);
    WaitUntil(
        [&] {
            Search search{process_.dwThreadId, caption, nullptr};
            ::EnumThreadWindows(
                process_.dwThreadId,
                [](HWND window, LPARAM l) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(l);
                    wchar_t text[64] = {};
                    ::GetWindowTextW(window, text, 64);
                    if (s->title == text && ::IsWindowVisible(window)) {
                        s->found = window;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            window_ = search.found;
            return window_ != nullptr;
        },
        timeoutMs);
    return window_;
}

HWND WindowDriver::Control(ControlId id) {
    struct Find {
        int id;
        HWND found;
    } find{ControlIdOf(id), nullptr};
    ::EnumChildWindows(
        Window(),
        [](HWND child, LPARAM l) -> BOOL {
            auto* f = reinterpret_cast<Find*>(l);
            if (::GetDlgCtrlID(child) == f->id) {
                f->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

std::wstring WindowDriver::Text(HWND window) const {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

std::vector<std::pair<std::wstring, LRESULT>> WindowDriver::Entries(ControlId list) {
    const HWND combo = Control(list);
    std::vector<std::pair<std::wstring, LRESULT>> entries;
    const LRESULT count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.emplace_back(text,
                             ::SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
    }
    return entries;
}

void WindowDriver::Select(ControlId list, int index) {
    ::SendMessageW(Control(list), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void WindowDriver::PressGo() {
    ::PostMessageW(Control(ControlId::GoButton), BM_CLICK, 0, 0);
}

HWND WindowDriver::Box(const std::wstring& title, int timeoutMs) {
    Search search{process_.dwThreadId, title, nullptr};
    WaitUntil(
        [&] {
            ::EnumThreadWindows(
                process_.dwThreadId,
                [](HWND window, LPARAM l) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(l);
                    wchar_t name[16] = {};
                    wchar_t text[128] = {};
                    ::GetClassNameW(window, name, 16);
                    ::GetWindowTextW(window, text, 128);
                    if (std::wstring(name) == L"#32770" && s->title == text &&
                        ::IsWindowVisible(window)) {
                        s->found = window;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

std::wstring WindowDriver::BoxText(HWND box) const {
    struct Texts {
        const WindowDriver* driver;
        std::wstring joined;
    } texts{this, {}};
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM l) -> BOOL {
            auto* t = reinterpret_cast<Texts*>(l);
            wchar_t name[16] = {};
            ::GetClassNameW(child, name, 16);
            const std::wstring text = t->driver->Text(child);
            if (_wcsicmp(name, L"Static") == 0 && !text.empty()) {
                t->joined += (t->joined.empty() ? L"" : L"\n") + text;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts.joined;
}

void WindowDriver::Answer(HWND box, int button) {
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
    WaitUntil([box] { return !::IsWindowVisible(box); }, 10000);
}

long WindowDriver::ExitStatus(int timeoutMs) {
    if (::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        return -1;
    }
    DWORD status = 0;
    ::GetExitCodeProcess(process_.hProcess, &status);
    return static_cast<long>(status);
}

bool WindowDriver::Running() const {
    return ::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

HWND WindowDriver::Focus() const {
    GUITHREADINFO info{sizeof info};
    ::GetGUIThreadInfo(process_.dwThreadId, &info);
    return info.hwndFocus;
}

}  // namespace probelyn
