#include <QSocketNotifier>

#include "end_requests.h"
#include "termination_signals.h"

// Windows asks a program to end through its window (WM_CLOSE, WM_ENDSESSION),
// which Qt turns into the window's close request.
TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::Take() {}
