// Start-up: the discovery of serial lines.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <QWindow>

#include <cstdio>
#include <vector>

#include "device_catalogue.h"
#include "form1.h"
#include "port_discovery.h"

namespace probelyn {

namespace {

// The system's reason a device did not open, with what to do about the common
// ones.
std::string WhyNotOpened(const ErrorRecord& error) {
    switch (error.error) {
        case LineError::Refused:
            return error.description + " (another program may be using the line)";
        default:
            return error.description;
    }
}

// How long start-up waits for the window manager to frame the new window.
constexpr int kFramingWaitMs = 500;

// Returns once the shown window is on screen (framed by the window manager,
// if there is one), or after kFramingWaitMs.
void AwaitExposed(QWidget& window) {
    QElapsedTimer waited;
    waited.start();
    while (window.isVisible() && window.windowHandle() != nullptr &&
           !window.windowHandle()->isExposed() && waited.elapsed() < kFramingWaitMs) {
        QApplication::processEvents();
        QThread::msleep(1);
    }
}

}  // namespace

// Lets discovery write the status line and fill the port list.
class Form1::Discovery : public DiscoveryHost {
  public:
    explicit Discovery(Form1& form) : form_(form) {}

    void SetStatus(const std::string& Message) override {
        form_.SetStatus(QString::fromStdString(Message));
    }

    void AddPort(int n) override {
        form_.PortList->addItem(QString::fromStdString(DisplayName({.com = n})), n);
        // Which adapter the entry is: its device and what the system knows.
        if (const std::optional<std::string> device = form_.names_.DeviceFor(n)) {
            const QString about = QString::fromStdString(catalogue_.Describe(*device));
            const int entry = form_.PortList->count() - 1;
            form_.PortList->setItemData(entry, about, Qt::ToolTipRole);
            form_.PortList->setItemData(entry, about, Qt::AccessibleDescriptionRole);
        }
    }

    void NotListed(int n, const ErrorRecord& error) override {
        const std::string device = form_.names_.DeviceFor(n).value_or(DisplayName({.com = n}));
        const std::string reason = device + ": " + WhyNotOpened(error);
        std::fprintf(stderr, "probelyn: not listed: %s\n", reason.c_str());
        reasons_.push_back(reason);
    }

    // Why no line is listed, for the details of the critical box.
    QString Reasons() const {
        if (reasons_.empty()) {
            return QStringLiteral("No serial device exists on this computer.");
        }
        std::string text;
        for (const std::string& reason : reasons_) {
            text += reason + "\n";
        }
        return QString::fromStdString(text);
    }

    void ServiceEvents() override { QApplication::processEvents(); }
    bool Abandoned() override { return form_.Closed(); }

  private:
    Form1& form_;
    DeviceCatalogue catalogue_;
    std::vector<std::string> reasons_;
};

bool Form1::Load() {
    show();
    setEnabled(false);
    AwaitExposed(*this);
    CentreOnScreen();
    repaint();
    Discovery discovery(*this);
    DiscoverPorts(access_, discovery);
    setEnabled(true);
    if (Closed()) {
        return false;  // closed during discovery: the program ends
    }
    // Disabling the window took the focus away; the port list gets it back.
    PortList->setFocus(Qt::OtherFocusReason);
    if (PortList->count() == 0) {
        noPortsDetected_ = true;
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Critical Error"),
                        QStringLiteral("No serial ports detected!"), QMessageBox::Ok, this);
        box.setDetailedText(discovery.Reasons());
        box.exec();
        return false;
    }
    PortList->setCurrentIndex(0);
    protocol->setCurrentIndex(0);
    SetStatus(QStringLiteral("Ready"));
    return true;
}

}  // namespace probelyn
