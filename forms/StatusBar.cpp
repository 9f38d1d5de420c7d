#include "StatusBar.h"

#include <QMoveEvent>
#include <QResizeEvent>

namespace kalvex {

namespace {

constexpr std::array<int, TStatusBar::kPanelCount> kPanelWidths = {200, 140, 50};

}  // namespace

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName("stbMain");
    // An explicit minimum: a long text or a wide panel runs past the right end instead of
    // widening the window.
    setMinimumWidth(1);
    m_simple.setObjectName("stbMainSimpleText");
    addWidget(&m_simple, 1);
    for (int panel = 0; panel < kPanelCount; ++panel) {
        QLabel& label = m_panels[panel];
        label.setObjectName(QString("stbMainPanel%1").arg(panel));
        label.setFixedWidth(kPanelWidths[panel]);
        label.hide();
        // The last panel reaches to the right end.
        addWidget(&label, panel == kPanelCount - 1 ? 1 : 0);
    }
    m_panels[1].setAlignment(Qt::AlignCenter);
    m_panels[kPanelCount - 1].setMinimumWidth(kPanelWidths[kPanelCount - 1]);
    m_panels[kPanelCount - 1].setMaximumWidth(QWIDGETSIZE_MAX);
}

void TStatusBar::SetSimplePanel(bool simple) {
    m_simplePanel = simple;
    m_simple.setVisible(simple);
    for (QLabel& label : m_panels) {
        label.setVisible(!simple);
    }
}

void TStatusBar::SetSimpleText(const QString& text) {
    m_simple.setText(text);
}

QString TStatusBar::PanelText(int panel) const {
    return m_panels.at(panel).text();
}

void TStatusBar::SetPanelText(int panel, const QString& text) {
    m_panels.at(panel).setText(text);
}

int TStatusBar::PanelWidth(int panel) const {
    const QLabel& label = m_panels.at(panel);
    return label.isVisible() ? label.width() : label.minimumWidth();
}

void TStatusBar::SetPanelWidth(int panel, int width) {
    if (panel == kPanelCount - 1) {
        m_panels.at(panel).setMinimumWidth(width);
    } else {
        m_panels.at(panel).setFixedWidth(width);
    }
}

void TStatusBar::ShowHint(const QString& hint) {
    if (m_simplePanel) {
        SetSimpleText(hint);
    } else {
        SetPanelText(0, hint);
    }
}

void TStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    Q_EMIT GeometryChanged();
}

void TStatusBar::moveEvent(QMoveEvent* event) {
    QStatusBar::moveEvent(event);
    Q_EMIT GeometryChanged();
}

}  // namespace kalvex
