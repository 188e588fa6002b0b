// The system clock, the clock switch and the cooperative wait.
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QThread>

namespace platform {

namespace {
SystemClock g_systemClock;
Clock* g_clock = &g_systemClock;
}

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

void SystemClock::sleepMs(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

TestClock::TestClock(QDateTime start) : current_(std::move(start)) {}

Clock& clock() { return *g_clock; }

void setClock(Clock* c) { g_clock = c ? c : &g_systemClock; }

QDateTime Now() { return g_clock->now(); }

void WaitSeconds(float seconds)
{
    if (!(seconds > 0))
        return;
    // The wait compares whole seconds: a wait of 0.2 s ends at the next full second.
    auto wholeSeconds = [] {
        QDateTime t = clock().now();
        return t.toMSecsSinceEpoch() / 1000;
    };
    const double target = double(clock().now().toMSecsSinceEpoch() / 1000) + double(seconds);
    while (double(wholeSeconds()) < target) {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        clock().sleepMs(50);
    }
}

} // namespace platform
