#include <QApplication>
#include <cstdio>
#include <memory>

#include "desktop_session.h"
#include "exit_status.h"
#include "form1.h"
#include "port_line.h"
#include "program.h"

using namespace probelyn;

int main(int argc, char* argv[]) {
    if (const std::optional<std::string> missing = MissingDesktopSession()) {
        std::fprintf(stderr, "probelyn: %s\n", missing->c_str());
        return Code(ExitStatus::Trouble);
    }
    auto guard = std::make_unique<DesktopStartGuard>();
    QApplication app(argc, argv);
    guard.reset();
    // Docks and task bars match the window with its menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(PROBELYN_APP_ID));
    const ComPortNames names = ComPortNames::System();
    Form1 window(std::make_unique<PortLine>(names), names);
    return RunProgram(window);
}
