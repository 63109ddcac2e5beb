// Start-up: the baud table and the discovery of serial lines.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <QWindow>

#include "form1.h"
#include "port_discovery.h"

namespace {

// How long start-up waits for the window manager to frame the new window.
constexpr int kFramingWaitMs = 500;

// Returns once the shown window is on screen (framed by the window manager,
// if there is one), or after kFramingWaitMs.
void AwaitExposed(QWidget& window) {
    QElapsedTimer waited;
    waited.start();
    while (window.windowHandle() != nullptr && !window.windowHandle()->isExposed() &&
           waited.elapsed() < kFramingWaitMs) {
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
        form_.PortList->addItem(QStringLiteral("COM%1").arg(n), n);
        // Linux users see which device COMn stands for.
        if (const std::optional<std::string> device = form_.names_.DeviceFor(n)) {
            form_.PortList->setItemData(form_.PortList->count() - 1,
                                        QString::fromStdString(*device), Qt::ToolTipRole);
        }
    }

    void ServiceEvents() override { QApplication::processEvents(); }
    bool Abandoned() override { return form_.closed_; }

  private:
    Form1& form_;
};

bool Form1::Load() {
    BaudRates = kBaudTable;
    show();
    setEnabled(false);
    AwaitExposed(*this);
    CentreOnScreen();
    repaint();
    Discovery discovery(*this);
    DiscoverPorts(access_, discovery);
    setEnabled(true);
    if (closed_) {
        return false;  // closed during discovery: the program ends
    }
    // Disabling the window took the focus away; the port list gets it back.
    PortList->setFocus(Qt::OtherFocusReason);
    if (PortList->count() == 0) {
        QMessageBox::critical(this, QStringLiteral("Critical Error"),
                              QStringLiteral("No serial ports detected!"));
        return false;
    }
    PortList->setCurrentIndex(0);
    protocol->setCurrentIndex(0);
    SetStatus(QStringLiteral("Ready"));
    return true;
}
