// Turns SIGTERM and SIGINT into a Qt signal on the main thread, so the operating system's
// request to end runs the program's normal end sequence instead of killing it mid-write.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// How many termination requests (SIGTERM, SIGINT) have arrived in this process. Read without
// the event loop, so that code that holds the thread for long (a running script) can notice.
int TerminationCount();
// The signal number of the last request (0 before any).
int LastTerminationSignal();
// Counts one request as the signal handler does.
void NoteTermination(int signalNumber);

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
