#include <QSocketNotifier>

#include "end_requests.h"
#include "termination_signals.h"

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent), requests_(std::make_unique<EndRequests>()) {
    if (requests_->Descriptor() == -1) {
        return;  // the default actions stay: the program still ends
    }
    notifier_ = std::make_unique<QSocketNotifier>(requests_->Descriptor(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::Take);
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::Take() {
    notifier_->setEnabled(false);  // one request only; a second ends the program
    emit Requested();
}
