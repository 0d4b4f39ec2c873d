#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the event loop normally on SIGINT, SIGTERM or SIGHUP, instead of the
// process dying mid-work. The handler only writes a byte to a pipe; the
// quit happens on the event loop. One instance at a time; the old handlers
// come back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

signals:
    void received(int signalNumber);

private:
    int pipe_[2] = {-1, -1};
    QSocketNotifier *notifier_ = nullptr;
};
