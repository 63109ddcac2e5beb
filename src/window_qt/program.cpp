#include "program.h"

#include <QApplication>
#include <QMetaObject>

#include "end_requests.h"
#include "exit_status.h"
#include "form1.h"

namespace probelyn {

int RunProgram(Form1& window) {
    // Told from the watch's thread; the window closes on its own.
    const EndRequests requests([&window](int) {
        QMetaObject::invokeMethod(&window, &Form1::CloseUnconditionally, Qt::QueuedConnection);
    });
    if (!window.Load()) {
        // No serial line at all is a failed start, however its box was
        // dismissed; ending on request during discovery is a normal end.
        return Code(window.NoPortsDetected() ? ExitStatus::NothingFound : ExitStatus::Success);
    }
    return QApplication::exec();
}

}  // namespace probelyn
