// Turns SIGTERM and SIGINT into a Qt signal on the main thread, so the operating system's
// request to end runs the program's normal end sequence instead of killing it mid-write.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

class TerminationWatcher : public QObject {
    Q_OBJECT
public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace platform
