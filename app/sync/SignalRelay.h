#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace kalvex {

// Turns SIGINT and SIGTERM into a Qt signal on the main thread: the handler only writes a
// byte to a pipe, which is all a signal handler can safely do.
class SignalRelay final : public QObject {
    Q_OBJECT

public:
    explicit SignalRelay(QObject* parent = nullptr);
    ~SignalRelay() override;

Q_SIGNALS:
    void stopRequested();

private:
    static void OnSignal(int number);
    void Drain();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace kalvex
