// Start-up: the window shown while the serial lines are discovered.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>

#include "form1.h"

namespace probelyn {

namespace {

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

bool Form1::Load() {
    show();
    setEnabled(false);
    AwaitExposed(*this);
    CentreOnScreen();
    repaint();
    const StartUp startUp = core_.Discover();
    setEnabled(true);
    if (startUp.outcome != StartUp::Outcome::Abandoned) {
        // Disabling the window took the focus away; the port list gets it back.
        PortList->setFocus(Qt::OtherFocusReason);
    }
    return core_.Settle(startUp);
}

void Form1::AddPortEntry(const PortEntry& entry) {
    PortList->addItem(QString::fromStdString(entry.text), entry.com);
    if (!entry.description.empty()) {
        const QString about = QString::fromStdString(entry.description);
        const int index = PortList->count() - 1;
        PortList->setItemData(index, about, Qt::ToolTipRole);
        PortList->setItemData(index, about, Qt::AccessibleDescriptionRole);
    }
}

void Form1::SelectFirstEntries() {
    PortList->setCurrentIndex(0);
    protocol->setCurrentIndex(0);
}

Selections Form1::Selected() const {
    return {PortList->currentData().toInt(), protocol->currentIndex()};
}

}  // namespace probelyn
