// Start-up: the baud table and the discovery of serial lines.
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>

#include "form1.h"
#include "port_discovery.h"

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

  private:
    Form1& form_;
};

bool Form1::Load() {
    BaudRates = kBaudTable;
    show();
    repaint();
    setEnabled(false);
    Discovery discovery(*this);
    DiscoverPorts(access_, discovery);
    setEnabled(true);
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
