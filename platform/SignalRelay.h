#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <initializer_list>
#include <memory>
#include <vector>

namespace kalvex::platform {

// Turns the given signals (SIGINT, SIGTERM, ...) into a Qt signal on the main thread: the
// handler only writes a byte to a pipe, which is all a signal handler can safely do. One
// relay at a time.
class SignalRelay final : public QObject {
    Q_OBJECT

public:
    explicit SignalRelay(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~SignalRelay() override;

Q_SIGNALS:
    void Received();

private:
    static void OnSignal(int number);
    void Drain();

    std::vector<int> m_signals;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace kalvex::platform
