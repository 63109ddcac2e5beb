// Run control: the Go/Stop button, the close request, and the window as the
// scan's host. The caption "Go" (exactly) is the only record that no run is
// under way; a run happens inside the button's click handler and sees Stop
// presses and close requests at its event-pump turns.
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QPushButton>

#include "cell_bar.h"
#include "form1.h"

#include "form1_run_host.h"

namespace {

const QString kGo = QStringLiteral("Go");

}  // namespace

Form1::~Form1() = default;

void Form1::ConnectRun(Clock& clock) {
    host_ = std::make_unique<RunHost>(*this);
    run_ = std::make_unique<ScanRun>(*host_, *Prt, access_, BaudRates, clock);
    connect(GoButton, &QPushButton::clicked, this, &Form1::GoButton_Click);
}

void Form1::GoButton_Click() {
    if (CloseRequested) {
        close();
        return;
    }
    if (GoButton->text() != kGo) {
        GoButton->setText(kGo);
        CancelRequested = true;
        protocol->setEnabled(true);
        SetStatus(QStringLiteral("Cancelled by user"));
        return;
    }
    GoButton->setText(QStringLiteral("Stop"));
    PortList->setEnabled(false);
    protocol->setEnabled(false);
    try {
        run_->DetectNow();
    } catch (const PortFailure& failure) {
        RecoverFrom(failure);
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    bool keepOpen = true;
    if (CloseRequested) {
        keepOpen = false;
    }
    if (GoButton->text() == kGo) {
        keepOpen = false;
    } else {
        CancelRequested = true;
        CloseRequested = true;
    }
    if (keepOpen) {
        event->ignore();
        return;
    }
    closed_ = true;
    event->accept();
}

void Form1::RecoverFrom(const PortFailure& failure) {
    try {
        access_.ClosePort();  // the descriptor is gone; this clears the handle
    } catch (const PortFailure&) {
        // Already reported below; the line is as released as it can be.
    }
    CancelRequested = false;
    bar->SetCells(0);
    GoButton->setText(kGo);
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
