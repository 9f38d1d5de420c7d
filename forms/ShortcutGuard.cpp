#include "ShortcutGuard.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

namespace kalvex {

TShortcutGuard::TShortcutGuard(QWidget& window, QList<QAction*> actions)
    : QObject(&window), m_window(window), m_actions(std::move(actions)) {
    qApp->installEventFilter(this);
}

bool TShortcutGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != &m_window) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination().toCombined() & ~Qt::KeypadModifier);
    for (const QAction* action : m_actions) {
        if (!action->isEnabled() && action->shortcuts().contains(pressed)) {
            return true;
        }
    }
    return false;
}

}  // namespace kalvex
