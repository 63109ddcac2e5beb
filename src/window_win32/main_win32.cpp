#include <windows.h>

#include <commctrl.h>

#include "device_catalogue.h"
#include "exit_status.h"
#include "form1_win32.h"
#include "port_line.h"

using namespace probelyn;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    const ComPortNames names = ComPortNames::System();
    const DeviceCatalogue catalogue;
    Form1 window(instance, std::make_unique<PortLine>(names), names,
                 [&catalogue](const std::string& device) { return catalogue.Describe(device); });
    if (!window.Load()) {
        // No serial line at all is a failed start, however its box was
        // dismissed; a close during discovery is a normal end.
        return Code(window.NoPortsDetected() ? ExitStatus::NothingFound : ExitStatus::Success);
    }
    return window.RunMessageLoop();
}
