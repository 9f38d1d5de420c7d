#include "QuitSignals.h"

#include <array>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace kalvex {

namespace {

std::array<int, 2> g_sockets = {-1, -1};  // [0] written by the handler, [1] read here
constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_sockets.data()) !=
        0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_sockets[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &QuitSignals::Drain);
    struct sigaction action = {};
    action.sa_handler = &QuitSignals::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals) {
        ::sigaction(number, &action, nullptr);
    }
}

QuitSignals::~QuitSignals() {
    if (!m_notifier) {
        return;
    }
    for (const int number : kSignals) {
        ::signal(number, SIG_DFL);
    }
    m_notifier.reset();
    ::close(g_sockets[0]);
    ::close(g_sockets[1]);
    g_sockets = {-1, -1};
}

void QuitSignals::OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_sockets[0], &byte, 1);
}

void QuitSignals::Drain() {
    std::array<char, 64> bytes{};
    while (::read(g_sockets[1], bytes.data(), bytes.size()) > 0) {
    }
    Q_EMIT QuitRequested();
}

}  // namespace kalvex
