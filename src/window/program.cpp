#include "program.h"

#include <QApplication>

#include "form1.h"
#include "termination_signals.h"

int RunProgram(Form1& window) {
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Requested, &window,
                     &Form1::CloseUnconditionally);
    if (!window.Load()) {
        // No serial line at all is a failed start, however its box was
        // dismissed; ending on request during discovery is a normal end.
        return window.NoPortsDetected() ? 1 : 0;
    }
    return QApplication::exec();
}
