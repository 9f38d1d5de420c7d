#include "SignalRelay.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {
// The pipe the handler writes to; set up before the handlers are installed.
int g_pipe[2] = {-1, -1};
}  // namespace

SignalRelay::SignalRelay(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent), m_signals(signalNumbers) {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalRelay::Drain);
    struct sigaction action {};
    action.sa_handler = &SignalRelay::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : m_signals) {
        ::sigaction(number, &action, nullptr);
    }
}

SignalRelay::~SignalRelay() {
    if (!m_notifier) {
        return;
    }
    for (const int number : m_signals) {
        std::signal(number, SIG_DFL);
    }
    m_notifier.reset();
    for (int& fd : g_pipe) {
        ::close(fd);
        fd = -1;
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
    Q_EMIT Received();
}

}  // namespace kalvex::platform
