#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

// The system's requests to end the program (on Linux SIGTERM, SIGINT and
// SIGHUP), delivered as Requested() on the event loop, where the window can
// close the line and end normally. On Windows the system asks through the
// window itself, so nothing is caught there.
class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Whether a request has come.
    bool Received() const { return received_; }

  signals:
    void Requested();

  private:
    void Take();

    std::unique_ptr<QSocketNotifier> notifier_;
    bool received_ = false;
};
