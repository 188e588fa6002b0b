// The one clock of the program and the cooperative wait built on it. Tests install a
// TestClock and move it, so waits and schedules run instantly and nothing sleeps for real.
#pragma once

#include <QDateTime>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Current local date and time.
    virtual QDateTime now() const = 0;
    // Pause the thread; a test clock advances itself instead of sleeping.
    virtual void sleepMs(int ms) = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    void sleepMs(int ms) override;
};

// A clock that stands still until it is moved; every sleep moves it forward by the time slept.
class TestClock final : public Clock {
public:
    explicit TestClock(QDateTime start = QDateTime(QDate(2026, 1, 5), QTime(9, 30, 0)));
    QDateTime now() const override { return current_; }
    void sleepMs(int ms) override { current_ = current_.addMSecs(ms); }
    void set(const QDateTime& t) { current_ = t; }
    void advance(qint64 ms) { current_ = current_.addMSecs(ms); }

private:
    QDateTime current_;
};

// The clock in force; the system clock unless a test installed another one.
Clock& clock();
// Installs a clock (not owned); nullptr restores the system clock.
void setClock(Clock* c);
// Short for clock().now().
QDateTime Now();

// RAII installation of a test clock for the length of a test.
class ScopedTestClock {
public:
    explicit ScopedTestClock(QDateTime start = QDateTime(QDate(2026, 1, 5), QTime(9, 30, 0)))
        : clock_(start) { setClock(&clock_); }
    ~ScopedTestClock() { setClock(nullptr); }
    ScopedTestClock(const ScopedTestClock&) = delete;
    ScopedTestClock& operator=(const ScopedTestClock&) = delete;
    TestClock& operator*() { return clock_; }
    TestClock* operator->() { return &clock_; }

private:
    TestClock clock_;
};

// The cooperative wait: returns once the clock, read at whole-second resolution, has reached
// start + seconds, dispatching pending events three times and sleeping 50 ms per turn so that
// timers and sockets of this thread keep running (callers must be ready for that re-entry).
// Zero or negative seconds return at once.
void WaitSeconds(float seconds);

} // namespace platform
