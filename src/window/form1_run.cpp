// Run control: the Go/Stop button, the close request, and the window as the
// scan's host. A run happens inside the button's click handler and sees Stop
// presses and close requests at its event-pump turns; the run phase says what
// a press or a close request means at that moment.
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include "cell_bar.h"
#include "form1.h"

#include "form1_run_host.h"

namespace {

// Whether a phase changes a list's enabled state or leaves it as the run's
// outcome set it.
enum class ListState { Keep, Enabled, Disabled };

struct PhaseLook {
    const char* caption;
    ListState portList;
    ListState protocol;
};

// The run-control state table, as the controls show it, in the order of the
// run phases.
constexpr PhaseLook kPhaseLooks[] = {
    {"Go", ListState::Keep, ListState::Keep},            // Idle
    {"Stop", ListState::Disabled, ListState::Disabled},  // Scanning
    {"Go", ListState::Keep, ListState::Enabled},         // Stopping
    {"Stop", ListState::Keep, ListState::Keep},          // Closing
};

void Apply(QWidget* list, ListState state) {
    if (state != ListState::Keep) {
        list->setEnabled(state == ListState::Enabled);
    }
}

}  // namespace

Form1::~Form1() = default;

void Form1::ConnectRun(Clock& clock) {
    host_ = std::make_unique<RunHost>(*this);
    run_ = std::make_unique<ScanRun>(*host_, *Prt, access_, BaudRates, clock);
    connect(GoButton, &QPushButton::clicked, this, &Form1::GoButton_Click);
    GoButton->installEventFilter(this);
}

void Form1::ShowPhase(RunPhase phase) {
    phase_ = phase;
    const PhaseLook& look = kPhaseLooks[static_cast<std::size_t>(phase)];
    GoButton->setText(QString::fromLatin1(look.caption));
    Apply(PortList, look.portList);
    Apply(protocol, look.protocol);
}

void Form1::GoButton_Click() {
    if (CloseRequested) {
        close();
        return;
    }
    switch (phase_) {
        case RunPhase::Idle:
            StartRun();
            return;
        case RunPhase::Scanning:
            RequestStop();
            return;
        case RunPhase::Stopping:
        case RunPhase::Closing:
            return;  // a stopped run is still unwinding: one run at a time
    }
}

void Form1::StartRun() {
    ShowPhase(RunPhase::Scanning);
    try {
        run_->DetectNow();
    } catch (const PortFailure& failure) {
        RecoverFrom(failure);
    }
    ShowPhase(RunPhase::Idle);
}

void Form1::RequestStop() {
    CancelRequested = true;
    ShowPhase(RunPhase::Stopping);
    SetStatus(QStringLiteral("Cancelled by user"));
}

void Form1::closeEvent(QCloseEvent* event) {
    const bool runUnderWay = phase_ == RunPhase::Scanning || phase_ == RunPhase::Closing;
    if (runUnderWay && !CloseRequested) {
        CancelRequested = true;
        CloseRequested = true;
        ShowPhase(RunPhase::Closing);
        event->ignore();
        return;
    }
    closed_ = true;
    event->accept();
}

void Form1::CloseUnconditionally() {
    CloseRequested = true;
    if (phase_ != RunPhase::Idle) {
        CancelRequested = true;
    }
    if (QWidget* box = QApplication::activeModalWidget()) {
        box->close();
    }
    close();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    // Return and Enter press the focused Go button, as Space does; a key held
    // down presses it once, so its repeats cannot stop the run it started.
    if (watched == GoButton && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (!key->isAutoRepeat()) {
                GoButton->click();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::RecoverFrom(const PortFailure& failure) {
    try {
        access_.ClosePort();  // the descriptor is gone; this clears the handle
    } catch (const PortFailure&) {
        // Already reported below; the line is as released as it can be.
    }
    CancelRequested = false;
    bar->SetCells(0);
    PortList->setEnabled(true);
    protocol->setEnabled(true);
    ShowBox(QMessageBox::Warning, QStringLiteral("Port Error"),
            QString::fromStdString(failure.Description()));
    if (CloseRequested) {
        close();
    }
}

void Form1::ShowBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    if (closed_) {
        return;  // the window is gone: nothing more is shown
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    box.exec();
}
