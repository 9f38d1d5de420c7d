#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace kalvex {

// SIGTERM, SIGINT and SIGHUP as a Qt signal on the main thread. The handler only writes a
// byte to a socket, the one thing a signal handler may safely do.
class QuitSignals final : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

Q_SIGNALS:
    void QuitRequested();

private:
    static void OnSignal(int number);
    void Drain();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace kalvex
