#pragma once

// The window as the scan's host: every call of the scan lands on the window's
// controls and flags. Once the window has closed, no box is shown any more.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "cell_bar.h"
#include "form1.h"
#include "scan_host.h"

class Form1::RunHost : public ScanHost {
  public:
    explicit RunHost(Form1& form) : form_(form) {}

    // The scan's status is drawn during the wait for the station's reply
    // (DrawProgress), where it costs the scan no time.
    void SetStatus(const std::string& Message) override {
        form_.Status->setText(QString::fromStdString(Message));
    }
    void DrawProgress() override {
        QCoreApplication::sendPostedEvents(&form_, QEvent::UpdateRequest);
    }
    void SetBar(int Current, int Max) override { form_.SetBar(Current, Max); }
    void ClearBar() override { form_.bar->SetCells(0); }
    void DoFound(const std::string& Txt) override { form_.DoFound(QString::fromStdString(Txt)); }
    bool AskYesNo(const std::string& title, const std::string& text) override {
        if (form_.closed_) {
            return false;
        }
        return QMessageBox::question(&form_, QString::fromStdString(title),
                                     QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    void Warn(const std::string& title, const std::string& text) override {
        form_.ShowBox(QMessageBox::Warning, QString::fromStdString(title),
                      QString::fromStdString(text));
    }
    void PumpEvents() override { QApplication::processEvents(); }

    int SelectedLine() override { return form_.PortList->currentData().toInt(); }
    int SelectedProtocol() override { return form_.protocol->currentIndex(); }
    void EnablePortList(bool enabled) override { form_.PortList->setEnabled(enabled); }

    bool CancelRequested() override { return form_.CancelRequested; }
    void ClearCancelRequested() override { form_.CancelRequested = false; }
    bool CloseRequested() override { return form_.CloseRequested; }
    void CloseWindow() override { form_.close(); }

  private:
    Form1& form_;
};
