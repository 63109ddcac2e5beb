// The run as the Qt window shows it: run control and its boxes live in the
// window core; here they are drawn, and the window's own events passed on.
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include "cell_bar_widget.h"
#include "form1.h"

namespace probelyn {

namespace {

QMessageBox::Icon IconFor(BoxKind kind) {
    switch (kind) {
        case BoxKind::Information:
            return QMessageBox::Information;
        case BoxKind::Warning:
            return QMessageBox::Warning;
        case BoxKind::Critical:
            break;
    }
    return QMessageBox::Critical;
}

}  // namespace

Form1::~Form1() = default;

void Form1::SetLook(const Look& look) {
    GoButton->setText(QString::fromLatin1(look.caption));
    PortList->setEnabled(look.portList);
    protocol->setEnabled(look.protocol);
}

void Form1::ShowBox(const Box& box) {
    QMessageBox shown(IconFor(box.kind), QString::fromStdString(box.title),
                      QString::fromStdString(box.text), QMessageBox::Ok, this);
    if (!box.details.empty()) {
        shown.setDetailedText(QString::fromStdString(box.details));
    }
    shown.exec();
}

bool Form1::AskYesNo(const std::string& title, const std::string& question) {
    return QMessageBox::question(this, QString::fromStdString(title),
                                 QString::fromStdString(question),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void Form1::TurnEventPump() {
    QApplication::processEvents();
}

void Form1::CloseWindow() {
    if (QWidget* box = QApplication::activeModalWidget()) {
        box->close();  // as its close button would
    }
    QWidget::close();
}

void Form1::closeEvent(QCloseEvent* event) {
    event->setAccepted(core_.CloseRequest());
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

}  // namespace probelyn
