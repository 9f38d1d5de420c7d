#pragma once

#include "Prompts.h"
#include "RunView.h"
#include "ThreadFrontend.h"
#include "engine/Profile.h"
#include "platform/Settings.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class QAction;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace kalvex {

class TKalvex;
class TLogListModel;
class TProfileList;
struct ProfileTexts;
class TStatusBar;

// The main window: the profile list, the log list of the last run and every command.
class TfrmMain final : public QMainWindow, private TRunView {
    Q_OBJECT

public:
    // `prompts` answers the questions and dialogs; null gives the real message boxes.
    // `settings` keeps the layout and the default project; null gives the per-user store.
    explicit TfrmMain(std::unique_ptr<TPrompts> prompts = nullptr,
                      std::unique_ptr<platform::Settings> settings = nullptr,
                      QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Start-up: layout, default project, New, the command line (without the program's name),
    // and Synchronize All for "/SYNC".
    void FormCreate(const QStringList& arguments);
    // Shows the window in the state the layout restored.
    void ShowRestored();

    // Quitting by another route than the window's close (session end, a signal): a run is
    // aborted, its open questions answered, and ReadyToQuit follows once its worker has gone.
    void QuitWhenIdle();
    bool WorkerAlive() const { return !SyncThread.isNull(); }

    bool RunInProgress() const;
    QString ApplicationTitle() const { return m_applicationTitle; }
    QString CurrentProjectFileName() const { return ProjectFileName; }
    bool IsModified() const { return Modified; }
    void SetModified(bool modified) { Modified = modified; }
    void UpdateCommands();

Q_SIGNALS:
    void ReadyToQuit();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;  // FormClose

private:
    using Handler = void (TfrmMain::*)();
    struct ActionEntry;

    void CreateActions();
    void CreateToolBar();
    void CreateLists();
    void CreateMenus();
    void CreateStatusBar();
    QAction* AddProxyAction(QMenu& menu, QAction& target, const QString& caption);

    // Runs a command the way every route does: only while its action is enabled.
    bool Execute(QAction* action);
    void RunHandler(QAction* action);

    void actFileNewExecute();
    void actFileOpenExecute();
    void actFileSaveExecute();
    void actFileSaveAsExecute();
    void actFileSetAsDefaultExecute();
    void actFileExitExecute();
    void actSyncAllExecute();
    void actSyncSelectedExecute();
    void actPreviewAllExecute();
    void actPreviewSelectedExecute();
    void actSyncAbortExecute();
    void actEditAddExecute();
    void actEditDeleteExecute();
    void actEditMoveUpExecute();
    void actEditMoveDownExecute();
    void actEditPropertiesExecute();
    void actHelpContentsExecute();
    void actHelpAboutExecute();
    // Enter on the profile list needs no handler of its own: Properties' shortcut takes it.
    void lvSyncListDblClick();
    void popEditExploreDirAClick();
    void popEditExploreDirBClick();

    QTreeWidgetItem* SelectedRow() const;
    // Selects only `row`, without the focus rectangle and without scrolling to it.
    void SelectOnly(QTreeWidgetItem& row);
    void RemoveRow(QTreeWidgetItem* row);
    void MoveSelectedRow(int offset);
    // The properties dialog over the selected row; true when it was left with OK.
    bool EditSelectedRow();
    void ExploreDirectory(QString ProfileTexts::*folder);

    void StartRun(bool syncAllMode, RunMode mode);
    bool AskToSave();  // the save question; true when the command may go on
    void LoadProject(const QString& path);
    enum class SaveOutcome { Saved, Cancelled, Failed };  // Failed: the error box has told why
    // Save: to the project's file, or through Save As's dialog for an untitled project.
    SaveOutcome SaveCurrentProject();
    SaveOutcome SaveProjectAs();
    bool SaveProject(const QString& path);
    void SetTitles(const QString& title, bool applicationTitleToo);
    void UpdateDefaultMark();
    void lvSyncListSelectItem(bool selected);
    void stbMainResize();

    void RestoreLayout(const platform::Settings& settings);
    void StoreLayout(platform::Settings& settings) const;

    // TRunView: the main-thread side of the worker's calls.
    int RunProfileCount() const override;
    std::optional<Profile> RunProfileAt(int index) const override;
    int RunSelectedProfile() const override;
    QString RunProjectFileName() const override;
    void RunBeginProfile(const QString& profileName, int topLevelFolders) override;
    void RunShowFolder(const QString& currentFolder, bool topLevel) override;
    void RunAddLogRows(std::span<const LogRow> rows) override;
    void RunFinish(bool allProfilesCompleted) override;
    void RunShowWarning(const QString& text) override;
    void RunAsk(const EngineMessage& message, std::function<void(Answer)> answered) override;

    std::unique_ptr<TPrompts> m_prompts;
    std::unique_ptr<platform::Settings> m_settings;

    QToolBar* tbrMain = nullptr;
    QTreeWidget* lvSyncList = nullptr;
    std::unique_ptr<TProfileList> m_profiles;  // the rows of lvSyncList as profiles
    QSplitter* Splitter1 = nullptr;
    QTreeView* lvLog = nullptr;
    TLogListModel* m_logModel = nullptr;
    TStatusBar* stbMain = nullptr;
    QMenu* popEdit = nullptr;
    QMenu* popEditExplore = nullptr;
    std::array<QIcon, 12> imlMain;
    std::array<QIcon, 4> imlIcons;

    QAction* actEditAdd = nullptr;
    QAction* actEditDelete = nullptr;
    QAction* actFileNew = nullptr;
    QAction* actFileOpen = nullptr;
    QAction* actSyncAll = nullptr;
    QAction* actFileSave = nullptr;
    QAction* actFileSaveAs = nullptr;
    QAction* actHelpAbout = nullptr;
    QAction* actFileExit = nullptr;
    QAction* actEditMoveUp = nullptr;
    QAction* actEditMoveDown = nullptr;
    QAction* actEditProperties = nullptr;
    QAction* actSyncSelected = nullptr;
    QAction* actHelpContents = nullptr;
    QAction* actSyncAbort = nullptr;
    QAction* actFileSetAsDefault = nullptr;
    QAction* actPreviewAll = nullptr;
    QAction* actPreviewSelected = nullptr;
    QList<QAction*> aclMain;
    QHash<QAction*, Handler> m_handlers;

    QPointer<TKalvex> SyncThread;
    QString ProjectFileName;
    QProgressBar* ProgressBar = nullptr;
    bool Modified = false;
    bool SyncAllMode = false;
    RunMode m_runMode = RunMode::Synchronize;  // of the run under way or the last one

    TThreadFrontend m_frontend;
    QString m_applicationTitle = "Kalvex";
    Qt::WindowStates m_restoredState = Qt::WindowNoState;
    bool m_quitWhenIdle = false;
};

}  // namespace kalvex
