#include "SignalRelay.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace kalvex {

namespace {
// The pipe the handler writes to; set up once, before the handlers are installed.
int g_pipe[2] = {-1, -1};
}  // namespace

SignalRelay::SignalRelay(QObject* parent) : QObject(parent) {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalRelay::Drain);
    struct sigaction action {};
    action.sa_handler = &SignalRelay::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

SignalRelay::~SignalRelay() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    m_notifier.reset();
    for (int& fd : g_pipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

void SignalRelay::OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

void SignalRelay::Drain() {
    char buffer[64];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
    Q_EMIT stopRequested();
}

}  // namespace kalvex
