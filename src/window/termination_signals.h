#pragma once

#include <QObject>
#include <memory>

class EndRequests;
class QSocketNotifier;

// The system's requests to end the program (on Linux SIGTERM, SIGINT and
// SIGHUP, as EndRequests takes them), delivered once as Requested() on the
// event loop, where the window can close the line and end normally. On
// Windows the system asks through the window itself, so nothing is caught
// there.
class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

  signals:
    void Requested();

  private:
    void Take();

    std::unique_ptr<EndRequests> requests_;
    std::unique_ptr<QSocketNotifier> notifier_;
};
