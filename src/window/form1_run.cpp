// Run control: the Go/Stop button, the close request and the system's end
// request, as one table of moves between run phases. A run happens inside the
// button's click handler and sees Stop presses and close requests at its
// event-pump turns; the phase says what a press or a request means then.
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include "cell_bar_widget.h"
#include "form1.h"
#include "form1_run_steps.h"

namespace probelyn {

namespace {

// How the controls look: the Go button's caption and whether each list takes
// input.
struct Look {
    const char* caption;
    bool portList;
    bool protocol;
};

// Idle, by how the last run ended: a find leaves the protocol list as the run
// had it, a run that found nothing leaves both lists so, a stop or a failure
// of the line gives both back.
Look IdleLook(std::optional<ScanOutcome::Kind> outcome) {
    using Kind = ScanOutcome::Kind;
    if (!outcome || *outcome == Kind::Stopped || *outcome == Kind::LineFailure) {
        return {"Go", true, true};
    }
    return {"Go", *outcome == Kind::Found, false};
}

}  // namespace

Form1::~Form1() = default;

ScanSteps& Form1::Steps() {
    return *steps_;
}

void Form1::ConnectRun(Clock& clock) {
    steps_ = std::make_unique<RunSteps>(*this);
    run_ = std::make_unique<ScanRun>(access_, clock);
    connect(GoButton, &QPushButton::clicked, this, [this] { Handle(RunEvent::Press); });
    GoButton->installEventFilter(this);
}

bool Form1::CancelRequested() const {
    return phase_ == RunPhase::Stopping || phase_ == RunPhase::Closing;
}

bool Form1::CloseRequested() const {
    return phase_ == RunPhase::Closing;
}

void Form1::Handle(RunEvent event, QCloseEvent* close) {
    using P = RunPhase;
    using E = RunEvent;
    using A = RunAction;
    struct Move {
        P from;
        E event;
        P to;
        A action;
    };
    // Every move of run control. A phase and event not listed change nothing.
    static constexpr Move kMoves[] = {
        {P::Idle, E::Press, P::Scanning, A::StartRun},
        {P::Idle, E::CloseRequest, P::Closed, A::AcceptClose},
        {P::Idle, E::EndRequest, P::Closed, A::CloseWindow},
        {P::Scanning, E::Press, P::Stopping, A::ShowStopped},
        // The run stops at its next check and then closes the window.
        {P::Scanning, E::CloseRequest, P::Closing, A::RefuseClose},
        {P::Scanning, E::EndRequest, P::Closed, A::CloseWindow},
        {P::Scanning, E::RunEnded, P::Idle, A::None},
        // A stopped run is still unwinding: one run at a time.
        {P::Stopping, E::CloseRequest, P::Closed, A::AcceptClose},
        {P::Stopping, E::EndRequest, P::Closed, A::CloseWindow},
        {P::Stopping, E::RunEnded, P::Idle, A::None},
        {P::Closing, E::Press, P::Closed, A::CloseWindow},
        {P::Closing, E::CloseRequest, P::Closed, A::AcceptClose},
        {P::Closing, E::EndRequest, P::Closed, A::CloseWindow},
        {P::Closing, E::RunEnded, P::Closed, A::CloseWindow},
        {P::Closed, E::CloseRequest, P::Closed, A::AcceptClose},
    };
    const auto move = std::find_if(std::begin(kMoves), std::end(kMoves), [&](const Move& m) {
        return m.from == phase_ && m.event == event;
    });
    if (move == std::end(kMoves)) {
        return;
    }
    EnterPhase(move->to);
    switch (move->action) {
        case A::None:
            return;
        case A::StartRun:
            StartRun();
            return;
        case A::ShowStopped:
            SetStatus(QStringLiteral("Cancelled by user"));
            return;
        case A::RefuseClose:
            close->ignore();
            return;
        case A::AcceptClose:
            close->accept();
            return;
        case A::CloseWindow:
            if (QWidget* box = QApplication::activeModalWidget()) {
                box->close();  // as its close button would
            }
            QWidget::close();
            return;
    }
}

void Form1::EnterPhase(RunPhase phase) {
    phase_ = phase;
    if (phase != RunPhase::Idle && phase != RunPhase::Scanning) {
        stop_.request_stop();  // seen by a run under way at its next check
    }
    Look look = IdleLook(lastOutcome_);
    switch (phase) {
        case RunPhase::Scanning:
        case RunPhase::Closing:
            look = {"Stop", false, false};
            break;
        case RunPhase::Stopping:
            look = {"Go", false, true};  // Stop gives the protocol list back at once
            break;
        case RunPhase::Idle:
        case RunPhase::Closed:
            break;
    }
    GoButton->setText(QString::fromLatin1(look.caption));
    PortList->setEnabled(look.portList);
    protocol->setEnabled(look.protocol);
}

void Form1::closeEvent(QCloseEvent* event) {
    Handle(RunEvent::CloseRequest, event);
}

void Form1::CloseUnconditionally() {
    Handle(RunEvent::EndRequest);
}

ScanPlan Form1::PlanFromControls() const {
    ScanPlan plan;
    plan.line = {.com = PortList->currentData().toInt()};
    const int index = protocol->currentIndex();
    plan.protocols.clear();
    if (index >= 0 && index < static_cast<int>(std::size(kProtocolNames))) {
        plan.protocols.push_back(kProtocolNames[index].protocol);
    }
    return plan;
}

void Form1::StartRun() {
    stop_ = std::stop_source();
    plan_ = PlanFromControls();
    EndRun(run_->DetectNow(plan_, *steps_, stop_.get_token()));
}

void Form1::EndRun(const ScanOutcome& outcome) {
    lastOutcome_ = outcome.kind;
    bar->SetCells(0);
    if (outcome.kind == ScanOutcome::Kind::LineFailure) {
        try {
            access_.ClosePort();  // the descriptor is gone; this clears the handle
        } catch (const PortFailure&) {
            // Reported below; the line is as released as it can be.
        }
    }
    Handle(RunEvent::RunEnded);
    if (outcome.kind == ScanOutcome::Kind::LineFailure) {
        ShowBox(QMessageBox::Warning, QStringLiteral("Port Error"),
                QString::fromStdString(outcome.failure.description));
    }
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

void Form1::ShowBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    if (Closed()) {
        return;  // the window is gone: nothing more is shown
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    box.exec();
}

}  // namespace probelyn
