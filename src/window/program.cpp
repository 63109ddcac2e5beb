#include "program.h"

#include <QApplication>

#include "form1.h"
#include "termination_signals.h"

int RunProgram(Form1& window) {
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Requested, &window,
                     &Form1::CloseUnconditionally);
    if (!window.Load()) {
        // Ending on request is a normal end; no serial line at all is not.
        return window.Closed() || termination.Received() ? 0 : 1;
    }
    return QApplication::exec();
}
