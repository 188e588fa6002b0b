// Self-pipe from the signal handler to the event loop.
#include "platform/Termination.h"

#include <QSocketNotifier>

#include <atomic>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {
int g_fds[2] = {-1, -1};
std::atomic<int> g_count{0};
std::atomic<int> g_last{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free counter");

void onSignal(int sig)
{
    NoteTermination(sig);
    const char c = static_cast<char>(sig);
    // Only async-signal-safe calls here; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &c, 1);
}
} // namespace

int TerminationCount() { return g_count.load(std::memory_order_relaxed); }

int LastTerminationSignal() { return g_last.load(std::memory_order_relaxed); }

void NoteTermination(int signalNumber)
{
    g_last.store(signalNumber, std::memory_order_relaxed);
    g_count.fetch_add(1, std::memory_order_relaxed);
}

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent)
{
    if (g_fds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_fds) != 0)
        return;
    notifier_ = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationWatcher::readSignal);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

TerminationWatcher::~TerminationWatcher()
{
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
}

void TerminationWatcher::readSignal()
{
    char c = 0;
    if (::read(g_fds[1], &c, 1) == 1)
        emit terminationRequested(static_cast<unsigned char>(c));
}

} // namespace platform
