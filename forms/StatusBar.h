#pragma once

#include <QLabel>
#include <QStatusBar>

#include <array>

namespace kalvex {

// The status bar of the main window: one text at rest (the simple panel), three panels
// during a run.
class TStatusBar final : public QStatusBar {
    Q_OBJECT

public:
    static constexpr int kPanelCount = 3;

    explicit TStatusBar(QWidget* parent = nullptr);

    bool SimplePanel() const { return m_simplePanel; }
    void SetSimplePanel(bool simple);
    QString SimpleText() const { return m_simple.text(); }
    void SetSimpleText(const QString& text);

    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    int PanelWidth(int panel) const;
    void SetPanelWidth(int panel, int width);

    // Where the hint goes: the single text at rest, panel 0 during a run.
    void ShowHint(const QString& hint);

Q_SIGNALS:
    void GeometryChanged();  // the progress bar follows panel 0

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    QLabel m_simple;
    std::array<QLabel, kPanelCount> m_panels;
    bool m_simplePanel = true;
};

}  // namespace kalvex
