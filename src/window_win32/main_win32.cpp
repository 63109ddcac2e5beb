#include <windows.h>

#include <commctrl.h>

#include "exit_status.h"
#include "form1_win32.h"

using namespace probelyn;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    Form1 window(instance);
    if (!window.Load()) {
        // No serial line at all is a failed start, however its box was
        // dismissed; a close during discovery is a normal end.
        return Code(window.NoPortsDetected() ? ExitStatus::NothingFound : ExitStatus::Success);
    }
    return window.RunMessageLoop();
}
