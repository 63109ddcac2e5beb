#pragma once

// The window as the engine's front end: each step of a run, in the window's
// words and controls. Once the window has closed, no box is shown any more.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>

#include "cell_bar_widget.h"
#include "form1.h"
#include "scan_steps.h"

namespace probelyn {

class Form1::RunSteps : public ScanSteps {
  public:
    explicit RunSteps(Form1& form) : form_(form) {}

    // Drawn at once, during the wait for the station's reply, where it costs
    // the scan no time.
    void Progress(const ScanStep& step) override {
        form_.Status->setText(QStringLiteral("Trying %1 baud on %2 for station number %3...")
                                  .arg(step.baud)
                                  .arg(LineText())
                                  .arg(step.station));
        form_.SetBar(step.count, step.total);
        QCoreApplication::sendPostedEvents(&form_, QEvent::UpdateRequest);
    }
    void TurnEventLoop() override { QApplication::processEvents(); }
    void Report(const Notice& notice) override {
        switch (notice.kind) {
            case Notice::Kind::Found:
                form_.DoFound(QString::fromStdString(FoundText(notice.find, form_.plan_.line)));
                return;
            case Notice::Kind::PortError:
                form_.ShowBox(QMessageBox::Warning, QStringLiteral("Port Error"),
                              QStringLiteral("Trying %1 baud on %2 caused the following error: ")
                                      .arg(notice.baud)
                                      .arg(LineText()) +
                                  QString::fromStdString(notice.error.description));
                return;
            case Notice::Kind::NothingIdentified:
                form_.ShowBox(QMessageBox::Warning, QStringLiteral("Identification Failed"),
                              QStringLiteral("No instrument detected!"));
                form_.SetStatus(QStringLiteral("Ready"));
                return;
        }
    }
    // Never asked once the window has closed: that stops the run.
    bool AskExtendedScan() override {
        return QMessageBox::question(&form_, QStringLiteral("No Instrument Detected"),
                                     QString::fromLatin1(kExtendedScanQuestion),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }

  private:
    // The scanned line as the window names it: COMn.
    QString LineText() const { return QString::fromStdString(DisplayName(form_.plan_.line)); }

    static constexpr char kExtendedScanQuestion[] =
        "No instrument was identified! Would you like to attempt an extended address scan for "
        "ASCII instruments (Addresses 256 to 999)?\r\nThis could take a long time so you should "
        "only select Yes if you believe you have an ASCII instrument connected.";

    Form1& form_;
};

}  // namespace probelyn
