#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <vector>

namespace probelyn {

// Answers modal message boxes from the test: each box that comes up is
// recorded and dismissed with the next answer in the queue (OK, or No for a
// question, when the queue is empty), so no test ever waits on a box.
class MessageBoxAnswerer : public QObject {
    Q_OBJECT
  public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QString details;
    };

    explicit MessageBoxAnswerer(std::deque<QMessageBox::StandardButton> answers = {});

    const std::vector<Seen>& Boxes() const { return seen_; }

  private:
    void Poll();

    std::deque<QMessageBox::StandardButton> answers_;
    std::vector<Seen> seen_;
    QTimer timer_;
};

}  // namespace probelyn
