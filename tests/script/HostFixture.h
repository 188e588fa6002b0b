// A QObject host object for the script-control tests: invokable methods, a property, a
// signal-free counter, as the gateway and web objects expose themselves.
#pragma once

#include "platform/Clock.h"

#include <QObject>
#include <QStringList>

class TestHost : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Subject READ subject WRITE setSubject)
    Q_PROPERTY(int Count READ count)
public:
    QString subject() const { return subject_; }
    void setSubject(const QString& s) { subject_ = s; }
    int count() const { return int(log.size()); }

    Q_INVOKABLE void LogMessage(const QString& text) { log << text; }
    Q_INVOKABLE int Add(int a, int b = 10) { return a + b; }
    Q_INVOKABLE QString Upper(const QString& s) { return s.toUpper(); }
    Q_INVOKABLE QVariant Echo(const QVariant& v) { return v; }
    Q_INVOKABLE bool IsTrue(bool b) { return b; }
    // Moves the test clock on, so a script can use up its time-out without real waiting.
    Q_INVOKABLE void Tick(int ms) { platform::clock().sleepMs(ms); }

    QStringList log;

private:
    QString subject_;
};
