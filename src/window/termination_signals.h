#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

// The system's requests to end the program (on Linux SIGTERM, SIGINT and
// SIGHUP), delivered as Requested() on the event loop, where the window can
// close the line and end normally. A second request ends the program at once,
// as the signal does by default; a signal ignored when the program started
// (nohup) stays ignored. On Windows the system asks through the window itself,
// so nothing is caught there.
class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

  signals:
    void Requested();

  private:
    void Take();

    std::unique_ptr<QSocketNotifier> notifier_;
    bool received_ = false;
};
