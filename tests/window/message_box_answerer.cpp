#include "message_box_answerer.h"

#include <QApplication>
#include <QPushButton>

MessageBoxAnswerer::MessageBoxAnswerer(std::deque<QMessageBox::StandardButton> answers)
    : answers_(std::move(answers)) {
    connect(&timer_, &QTimer::timeout, this, &MessageBoxAnswerer::Poll);
    timer_.start(5);
}

void MessageBoxAnswerer::Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
        return;
    }
    seen_.push_back({box->windowTitle(), box->text(), box->icon()});
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    box->button(answer)->click();
}
