#include "Window.h"

#include "engine/ProjectFile.h"
#include "forms/LogListModel.h"
#include "forms/StatusBar.h"

#include <QAction>
#include <QProgressBar>
#include <QSettings>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

namespace kalvex::test {

Window::Window(const QString& settingsPath)
    : m_settingsPath(settingsPath.isEmpty() ? m_settingsDir.filePath("Kalvex.conf")
                                            : settingsPath) {
    auto prompts = std::make_unique<ScriptedPrompts>();
    m_prompts = prompts.get();
    m_window = std::make_unique<TfrmMain>(
        std::move(prompts), std::make_unique<platform::Settings>(std::make_unique<QSettings>(
                                SettingsPath(), QSettings::NativeFormat)));
}

Window::~Window() {
    if (m_window->WorkerAlive()) {
        // A test that failed in the middle of a run: end it before the window goes.
        m_prompts->autoAnswer = Answer::No;
        m_window->QuitWhenIdle();
        if (!QTest::qWaitFor([this] { return !m_window->WorkerAlive(); }, 10000)) {
            qFatal("The worker of an unfinished run did not end");
        }
    }
}

QAction* Window::Action(const QString& name) const {
    return m_window->findChild<QAction*>(name);
}

bool Window::Trigger(const QString& name) const {
    QAction* const action = Action(name);
    if (action == nullptr) {
        qWarning("No action named %s", qPrintable(name));
        return false;
    }
    return Trigger(action);
}

bool Window::Trigger(QAction* action) {
    if (action == nullptr) {
        qWarning("No action to trigger");
        return false;
    }
    if (!action->isEnabled()) {
        qWarning("The action %s is disabled", qPrintable(action->objectName()));
        return false;
    }
    action->trigger();
    return true;
}

QString Window::SettingsPath() const {
    return m_settingsPath;
}

// QSettings objects on one file in one process share their values at once.
QVariant Window::Stored(const QString& key) const {
    return QSettings(SettingsPath(), QSettings::NativeFormat).value(key);
}

void Window::Store(const QString& key, const QVariant& value) const {
    QSettings(SettingsPath(), QSettings::NativeFormat).setValue(key, value);
}

QStringList Window::StoredKeys() const {
    return QSettings(SettingsPath(), QSettings::NativeFormat).allKeys();
}

QTreeWidget* Window::SyncList() const {
    return m_window->findChild<QTreeWidget*>("lvSyncList");
}

QTreeView* Window::LogList() const {
    return m_window->findChild<QTreeView*>("lvLog");
}

TStatusBar* Window::StatusBar() const {
    return m_window->findChild<TStatusBar*>("stbMain");
}

QProgressBar* Window::Progress() const {
    return m_window->findChild<QProgressBar*>("ProgressBar");
}

QStringList Window::LogRows() const {
    const QAbstractItemModel* model = LogList()->model();
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column) {
            cells.append(model->index(row, column).data().toString());
        }
        const QModelIndex first = model->index(row, 0);
        cells.append(QString::number(first.data(TLogListModel::ImageIndexRole).toInt()));
        cells.append(QString::number(first.data(TLogListModel::IndentRole).toInt()));
        rows.append(cells.join('|'));
    }
    return rows;
}

QStringList Window::ProfileNames() const {
    QStringList names;
    for (int row = 0; row < SyncList()->topLevelItemCount(); ++row) {
        names.append(SyncList()->topLevelItem(row)->text(0));
    }
    return names;
}

void Window::SelectRow(int row) const {
    SyncList()->clearSelection();
    if (row >= 0) {
        SyncList()->topLevelItem(row)->setSelected(true);
    }
}

bool Window::WaitForRunEnd() const {
    return QTest::qWaitFor([this] { return !m_window->WorkerAlive(); }, 20000);
}

bool WriteProject(const QString& path, const QList<Profile>& profiles) {
    QString error;
    return WriteProjectFile(path, profiles, error);
}

QList<Profile> ReadProject(const QString& path) {
    QList<Profile> profiles;
    QString error;
    ReadProjectFile(path, profiles, error);
    return profiles;
}

void ClearSettings() {
    QSettings settings("Marvolt", "Kalvex");
    settings.clear();
    settings.sync();
}

}  // namespace kalvex::test
