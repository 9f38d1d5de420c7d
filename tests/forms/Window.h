#pragma once

#include "ScriptedPrompts.h"
#include "engine/Profile.h"
#include "forms/Main.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

class QAction;
class QProgressBar;
class QTreeView;
class QTreeWidget;

namespace kalvex {
class TStatusBar;
}

namespace kalvex::test {

// A main window answered by a script, with the ways to look at it that tests share.
class Window {
public:
    // `settingsPath`: the file of the window's settings store; empty: one of its own.
    explicit Window(const QString& settingsPath = {});
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    TfrmMain* operator->() const { return m_window.get(); }
    TfrmMain& operator*() const { return *m_window; }

    QAction* Action(const QString& name) const;
    // Runs the command as a menu entry would; false, with the reason logged, when the action is
    // missing or disabled, so that QVERIFY(window.Trigger(...)) fails where a bare trigger()
    // would silently do nothing.
    [[nodiscard]] bool Trigger(const QString& name) const;
    [[nodiscard]] static bool Trigger(QAction* action);
    QTreeWidget* SyncList() const;
    QTreeView* LogList() const;
    TStatusBar* StatusBar() const;
    QProgressBar* Progress() const;

    // The log list as "caption|Time A|Action|Time B|image|indent", one text per row.
    QStringList LogRows() const;
    QStringList ProfileNames() const;
    void SelectRow(int row) const;
    // True once the worker of the last run is gone.
    bool WaitForRunEnd() const;

    ScriptedPrompts& Prompts() const { return *m_prompts; }

    // The window's settings store, a file of this window alone; keys as "Section/Key".
    QString SettingsPath() const;
    QVariant Stored(const QString& key) const;
    void Store(const QString& key, const QVariant& value) const;
    QStringList StoredKeys() const;

private:
    QTemporaryDir m_settingsDir;
    QString m_settingsPath;
    ScriptedPrompts* m_prompts = nullptr;  // owned by the window
    std::unique_ptr<TfrmMain> m_window;
};

// Writes a project file through the engine's writer; false when that failed.
bool WriteProject(const QString& path, const QList<Profile>& profiles);
QList<Profile> ReadProject(const QString& path);
// Empties the per-user settings store of the private home, the one the real program uses.
void ClearSettings();

}  // namespace kalvex::test
