#include "message_box_answerer.h"

#include <QApplication>
#include <QPushButton>

namespace probelyn {

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
    seen_.push_back({box->windowTitle(), box->text(), box->icon(), box->detailedText()});
    QAbstractButton* button = nullptr;
    if (!answers_.empty()) {
        button = box->button(answers_.front());
        answers_.pop_front();
    }
    for (auto fallback : {QMessageBox::Ok, QMessageBox::No}) {
        if (button == nullptr) {
            button = box->button(fallback);
        }
    }
    button->click();
}

}  // namespace probelyn
