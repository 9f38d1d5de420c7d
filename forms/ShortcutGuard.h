#pragma once

#include <QList>
#include <QObject>

class QAction;
class QWidget;

namespace kalvex {

// The key of a disabled command does nothing: it is swallowed instead of reaching the
// focused control, as it would if the command were enabled.
class TShortcutGuard final : public QObject {
    Q_OBJECT

public:
    TShortcutGuard(QWidget& window, QList<QAction*> actions);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const QWidget& m_window;
    const QList<QAction*> m_actions;
};

}  // namespace kalvex
