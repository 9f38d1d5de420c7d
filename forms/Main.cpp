#include "Main.h"

#include "About.h"
#include "GridDelegate.h"
#include "HelpPage.h"
#include "Icons.h"
#include "LogIndentDelegate.h"
#include "LogListModel.h"
#include "ProfileList.h"
#include "Prompts.h"
#include "ShortcutGuard.h"
#include "StatusBar.h"
#include "Syncsettings.h"
#include "WidgetPrompts.h"
#include "engine/Kalvex.h"
#include "engine/ProjectFile.h"
#include "platform/Settings.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>

namespace kalvex {

namespace {

const QString kAppName = "Kalvex";
const QString kGeneral = "General";
const QString kDefaultProject = "DefaultProject";
const QString kUi = "UI";

constexpr int kDesignWidth = 944;
constexpr int kDesignHeight = 613;
constexpr int kToolButtonWidth = 44;
constexpr int kToolButtonHeight = 36;
constexpr int kSplitterWidth = 5;
constexpr int kSyncListMinimum = 30;
constexpr int kImageSize = 16;
constexpr int kPanelTextMargin = 10;

constexpr int kSyncListColumnCount = 3;
constexpr int kLogListColumnCount = 4;

// The thirteen layout values of the UI section, each key spelt here alone, with what a first
// start takes (nothing: the window keeps its own).
enum LayoutValue : std::size_t {
    kLeft,
    kTop,
    kWidth,
    kHeight,
    kWindowState,
    kSyncListHeight,
    kSyncListC0,
    kLogListC0 = kSyncListC0 + kSyncListColumnCount,
    kLayoutValueCount = kLogListC0 + kLogListColumnCount
};
struct LayoutKey {
    const char* key;
    std::optional<int> fallback;
};
const std::array<LayoutKey, kLayoutValueCount> kLayoutKeys = {{{"Left", {}},
                                                               {"Top", {}},
                                                               {"Width", {}},
                                                               {"Height", {}},
                                                               {"WindowState", 0},
                                                               {"SyncListHeight", 200},
                                                               {"SyncListC0", 80},
                                                               {"SyncListC1", 400},
                                                               {"SyncListC2", 400},
                                                               {"LogListC0", 550},
                                                               {"LogListC1", 140},
                                                               {"LogListC2", 50},
                                                               {"LogListC3", 140}}};
using LayoutValues = std::array<std::optional<int>, kLayoutValueCount>;

LayoutValues ReadLayout(const platform::Settings& settings) {
    LayoutValues values;
    for (std::size_t i = 0; i < kLayoutKeys.size(); ++i) {
        const std::optional<int> stored = settings.ReadOptionalInteger(kUi, kLayoutKeys[i].key);
        values[i] = stored ? stored : kLayoutKeys[i].fallback;
    }
    return values;
}

// Writes the values that are there; the others keep what the store holds.
void WriteLayout(platform::Settings& settings, const LayoutValues& values) {
    for (std::size_t i = 0; i < kLayoutKeys.size(); ++i) {
        if (values[i]) {
            settings.WriteInteger(kUi, kLayoutKeys[i].key, *values[i]);
        }
    }
}

// ASCII letters only, as the project's names have always been compared.
QString AsciiUpper(const QString& text) {
    QString upper = text;
    for (QChar& c : upper) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
            c = QChar(c.unicode() - 'a' + 'A');
        }
    }
    return upper;
}

QFont WindowFont() {
    const QString family = QFontDatabase::families().contains("Tahoma")
                               ? QString("Tahoma")
                               : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QFont font(family);
    font.setPointSize(8);
    return font;
}

// Holds the painting of a widget back while several changes are made to it.
class UpdatesSuspended {
public:
    explicit UpdatesSuspended(QWidget& widget) : m_widget(widget) {
        m_widget.setUpdatesEnabled(false);
    }
    ~UpdatesSuspended() { m_widget.setUpdatesEnabled(true); }
    UpdatesSuspended(const UpdatesSuspended&) = delete;
    UpdatesSuspended& operator=(const UpdatesSuspended&) = delete;

private:
    QWidget& m_widget;
};

// The header row of a preview, which must not read as if the profile had been synchronized.
QString PreviewHeaderCaption(const QString& profileName) {
    return QStringLiteral("Preview of ") + profileName + u':';
}

int WindowStateValue(Qt::WindowStates state) {
    if (state & Qt::WindowMinimized) {
        return 1;
    }
    return state & Qt::WindowMaximized ? 2 : 0;
}

}  // namespace

struct TfrmMain::ActionEntry {
    QAction* TfrmMain::*action;
    const char* name;
    const char* caption;
    const char* shortHint;
    const char* longHint;
    QKeyCombination shortcut;  // Qt::Key_unknown: none
    int image;                 // index in imlMain, -1: none
    bool enabledAtStart;
    const char* toolCaption;  // the tool button's own caption, when it has one
    Handler handler;
};

TfrmMain::TfrmMain(std::unique_ptr<TPrompts> prompts, std::unique_ptr<platform::Settings> settings,
                   QWidget* parent)
    : QMainWindow(parent),
      m_prompts(std::move(prompts)),
      m_settings(std::move(settings)),
      m_frontend(*this, *this) {
    if (!m_prompts) {
        m_prompts = std::make_unique<TWidgetPrompts>(*this);
    }
    if (!m_settings) {
        m_settings = std::make_unique<platform::Settings>();
    }
    setObjectName("frmMain");
    setFont(WindowFont());
    resize(kDesignWidth, kDesignHeight);
    setWindowIcon(ProgramIcon());

    const std::array<const char*, 12> mainImages = {"new",     "open",   "save",     "add",
                                                    "delete",  "moveup", "movedown", "properties",
                                                    "syncall", "abort",  "help",     "preview"};
    std::transform(mainImages.begin(), mainImages.end(), imlMain.begin(), ResourceImage);
    imlIcons = {ResourceImage("folder"), ResourceImage("file"), ResourceImage("folder-deleted"),
                ResourceImage("file-deleted")};

    CreateActions();
    CreateToolBar();
    CreateLists();
    CreateMenus();
    CreateStatusBar();

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->setFormat("Preview");  // shown during a preview only
    ProgressBar->hide();
    connect(stbMain, &TStatusBar::GeometryChanged, this, &TfrmMain::stbMainResize);
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::CreateActions() {
    using K = QKeyCombination;
    const K none(Qt::Key_unknown);
    const std::array<ActionEntry, 18> entries = {{
        {&TfrmMain::actEditAdd, "actEditAdd", "&Add...", "Add",
         "Adds a new profile to the current project.", none, 3, true, "Add",
         &TfrmMain::actEditAddExecute},
        {&TfrmMain::actEditDelete, "actEditDelete", "&Delete", "Delete",
         "Deletes the selected profile.", K(Qt::Key_Delete), 4, false, "Delete",
         &TfrmMain::actEditDeleteExecute},
        {&TfrmMain::actFileNew, "actFileNew", "&New", "New", "Creates a new project.",
         K(Qt::CTRL, Qt::Key_N), 0, true, "New", &TfrmMain::actFileNewExecute},
        {&TfrmMain::actFileOpen, "actFileOpen", "&Open...", "Open", "Opens an existing project.",
         K(Qt::CTRL, Qt::Key_O), 1, true, "Open", &TfrmMain::actFileOpenExecute},
        {&TfrmMain::actSyncAll, "actSyncAll", "Synchronize &All", "Sync All",
         "Synchronizes the checked profile(s).", K(Qt::Key_F5), 8, false, "Sync All",
         &TfrmMain::actSyncAllExecute},
        {&TfrmMain::actFileSave, "actFileSave", "&Save", "Save", "Saves the current project.",
         K(Qt::CTRL, Qt::Key_S), 2, true, "Save", &TfrmMain::actFileSaveExecute},
        {&TfrmMain::actFileSaveAs, "actFileSaveAs", "Save &As...", "Save As",
         "Saves the current project with a new name.", none, -1, true, nullptr,
         &TfrmMain::actFileSaveAsExecute},
        {&TfrmMain::actHelpAbout, "actHelpAbout", "&About...", "About",
         "Displays program information.", none, -1, true, nullptr, &TfrmMain::actHelpAboutExecute},
        {&TfrmMain::actFileExit, "actFileExit", "E&xit", "Exit", "Quits the application.", none, -1,
         true, nullptr, &TfrmMain::actFileExitExecute},
        {&TfrmMain::actEditMoveUp, "actEditMoveUp", "Move &Up", "Move Up",
         "Moves up the selected profile.", none, 5, false, "Up", &TfrmMain::actEditMoveUpExecute},
        {&TfrmMain::actEditMoveDown, "actEditMoveDown", "Move &Down", "Move Down",
         "Moves down the selected profile.", none, 6, false, "Down",
         &TfrmMain::actEditMoveDownExecute},
        {&TfrmMain::actEditProperties, "actEditProperties", "P&roperties...", "Properties",
         "Displays the properties of the selected profile.", K(Qt::Key_Enter), 7, false, nullptr,
         &TfrmMain::actEditPropertiesExecute},
        {&TfrmMain::actSyncSelected, "actSyncSelected", "Synchronize &Selected",
         "Synchronize Selected", "Synchronizes only the selected profile.", K(Qt::Key_F4), -1,
         false, nullptr, &TfrmMain::actSyncSelectedExecute},
        {&TfrmMain::actHelpContents, "actHelpContents", "&Help...", "Help",
         "Displays the help contents.", K(Qt::Key_F1), 10, true, nullptr,
         &TfrmMain::actHelpContentsExecute},
        {&TfrmMain::actSyncAbort, "actSyncAbort", "A&bort", "Abort",
         "Aborts the current synchronization.", K(Qt::Key_Escape), 9, false, "Abort",
         &TfrmMain::actSyncAbortExecute},
        {&TfrmMain::actFileSetAsDefault, "actFileSetAsDefault", "&Default Project", "Default",
         "Sets this project as a default project.", none, -1, true, nullptr,
         &TfrmMain::actFileSetAsDefaultExecute},
        {&TfrmMain::actPreviewAll, "actPreviewAll", "&Preview All", "Preview All",
         "Shows what synchronizing the checked profile(s) would do, without changing anything.",
         K(Qt::SHIFT, Qt::Key_F5), 11, false, "Preview", &TfrmMain::actPreviewAllExecute},
        {&TfrmMain::actPreviewSelected, "actPreviewSelected", "Preview S&elected",
         "Preview Selected",
         "Shows what synchronizing only the selected profile would do, without changing anything.",
         K(Qt::SHIFT, Qt::Key_F4), -1, false, nullptr, &TfrmMain::actPreviewSelectedExecute},
    }};

    for (const ActionEntry& entry : entries) {
        auto* action = new QAction(entry.caption, this);
        action->setObjectName(entry.name);
        action->setToolTip(entry.shortHint);
        action->setStatusTip(entry.longHint);
        if (entry.shortcut.key() != Qt::Key_unknown) {
            // The first key is the one menus show; the main keyboard's Return does the same.
            QList<QKeySequence> keys = {QKeySequence(entry.shortcut)};
            if (entry.shortcut.key() == Qt::Key_Enter) {
                keys.append(QKeySequence(Qt::Key_Return));
            }
            action->setShortcuts(keys);
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (entry.image >= 0) {
            action->setIcon(imlMain[entry.image]);
        }
        if (entry.toolCaption != nullptr) {
            action->setIconText(entry.toolCaption);
        }
        action->setEnabled(entry.enabledAtStart);
        connect(action, &QAction::triggered, this, [this, action] { RunHandler(action); });
        this->*entry.action = action;
        aclMain.append(action);
        m_handlers.insert(action, entry.handler);
    }
    actFileSetAsDefault->setCheckable(true);
    // A preview is offered exactly when the run it shows could start.
    connect(actSyncAll, &QAction::enabledChanged, actPreviewAll, &QAction::setEnabled);
    connect(actSyncSelected, &QAction::enabledChanged, actPreviewSelected, &QAction::setEnabled);
    addActions(aclMain);
    new TShortcutGuard(*this, aclMain);  // owned by the window
}

void TfrmMain::CreateToolBar() {
    tbrMain = addToolBar("tbrMain");
    tbrMain->setObjectName("tbrMain");
    tbrMain->setMovable(false);
    tbrMain->setFloatable(false);
    tbrMain->setContextMenuPolicy(Qt::PreventContextMenu);
    tbrMain->setIconSize(QSize(kImageSize, kImageSize));
    tbrMain->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    const auto addButton = [this](QAction* action, const char* name) {
        tbrMain->addAction(action);
        QWidget* button = tbrMain->widgetForAction(action);
        button->setObjectName(name);
        button->setMinimumSize(kToolButtonWidth, kToolButtonHeight);
    };
    addButton(actFileNew, "tbFileNew");
    addButton(actFileOpen, "tbFileOpen");
    addButton(actFileSave, "tbFileSave");
    tbrMain->addSeparator()->setObjectName("tbSep1");
    addButton(actEditAdd, "tbEditAdd");
    addButton(actEditDelete, "tbEditDelete");
    addButton(actEditMoveUp, "tbEditMoveUp");
    addButton(actEditMoveDown, "tbEditMoveDown");
    tbrMain->addSeparator()->setObjectName("tbSep2");
    addButton(actSyncAll, "tbSyncAll");
    addButton(actPreviewAll, "tbPreviewAll");
    addButton(actSyncAbort, "tbSyncAbort");
}

void TfrmMain::CreateLists() {
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);

    lvSyncList = new QTreeWidget(Splitter1);
    lvSyncList->setObjectName("lvSyncList");
    lvSyncList->setHeaderLabels({"Name", "Directory A", "Directory B"});
    lvSyncList->setRootIsDecorated(false);
    lvSyncList->setItemsExpandable(false);
    lvSyncList->setUniformRowHeights(true);
    lvSyncList->setSelectionMode(QAbstractItemView::SingleSelection);
    lvSyncList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvSyncList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvSyncList->setAllColumnsShowFocus(true);
    lvSyncList->header()->setSectionsClickable(false);
    lvSyncList->header()->setSectionsMovable(false);
    lvSyncList->header()->setStretchLastSection(false);
    lvSyncList->setMinimumHeight(kSyncListMinimum);
    lvSyncList->setItemDelegate(new TGridDelegate(lvSyncList));
    m_profiles = std::make_unique<TProfileList>(*lvSyncList);
    lvSyncList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvSyncList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popEdit->popup(lvSyncList->viewport()->mapToGlobal(at)); });
    connect(lvSyncList, &QTreeWidget::itemSelectionChanged, this,
            [this] { lvSyncListSelectItem(!lvSyncList->selectedItems().isEmpty()); });
    connect(lvSyncList, &QTreeWidget::itemDoubleClicked, this, &TfrmMain::lvSyncListDblClick);

    m_logModel = new TLogListModel(this);
    m_logModel->SetImages(imlIcons);
    lvLog = new QTreeView(Splitter1);
    lvLog->setObjectName("lvLog");
    lvLog->setModel(m_logModel);
    lvLog->setItemDelegate(new TLogIndentDelegate(lvLog));
    lvLog->setRootIsDecorated(false);
    lvLog->setItemsExpandable(false);
    lvLog->setUniformRowHeights(true);
    lvLog->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvLog->setAllColumnsShowFocus(true);
    lvLog->setIconSize(QSize(kImageSize, kImageSize));
    lvLog->header()->setSectionsClickable(false);
    lvLog->header()->setSectionsMovable(false);
    lvLog->header()->setStretchLastSection(false);

    Splitter1->addWidget(lvSyncList);
    Splitter1->addWidget(lvLog);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    setCentralWidget(Splitter1);
    setTabOrder(lvLog, lvSyncList);
    lvLog->setFocus();
}

QAction* TfrmMain::AddProxyAction(QMenu& menu, QAction& target, const QString& caption) {
    QAction* proxy = menu.addAction(target.icon(), caption);
    proxy->setStatusTip(target.statusTip());
    // Shown beside the caption only: the key stays the target's, live in the window alone.
    proxy->setShortcut(target.shortcut());
    proxy->setShortcutContext(Qt::WidgetShortcut);
    proxy->setEnabled(target.isEnabled());
    connect(&target, &QAction::enabledChanged, proxy, &QAction::setEnabled);
    connect(proxy, &QAction::triggered, this, [this, &target] { Execute(&target); });
    return proxy;
}

void TfrmMain::CreateMenus() {
    QMenuBar* mnuMain = menuBar();
    mnuMain->setObjectName("mnuMain");

    QMenu* mnuFile = mnuMain->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuFile->addActions({actFileNew, actFileOpen, actFileSave, actFileSaveAs});
    mnuFile->addSeparator()->setObjectName("mnuFileSep1");
    mnuFile->addAction(actFileSetAsDefault);
    mnuFile->addSeparator()->setObjectName("mnuFileSep2");
    mnuFile->addAction(actFileExit);

    QMenu* mnuEdit = mnuMain->addMenu("&Edit");
    mnuEdit->setObjectName("mnuEdit");
    mnuEdit->addActions({actEditAdd, actEditDelete});
    mnuEdit->addSeparator()->setObjectName("mnuEditSep1");
    mnuEdit->addActions({actEditMoveUp, actEditMoveDown});
    mnuEdit->addSeparator()->setObjectName("mnuEditSep2");
    mnuEdit->addAction(actEditProperties);

    QMenu* mnuSync = mnuMain->addMenu("&Synchronization");
    mnuSync->setObjectName("mnuSync");
    mnuSync->addActions({actSyncAll, actPreviewAll, actSyncSelected, actPreviewSelected});
    mnuSync->addSeparator()->setObjectName("mnuSyncSep1");
    mnuSync->addAction(actSyncAbort);

    QMenu* mnuHelp = mnuMain->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    mnuHelp->addAction(actHelpContents);
    mnuHelp->addSeparator()->setObjectName("mnuHelpSep1");
    mnuHelp->addAction(actHelpAbout);

    popEdit = new QMenu(this);
    popEdit->setObjectName("popEdit");
    AddProxyAction(*popEdit, *actSyncSelected, "Synchronize This Item")
        ->setObjectName("popSyncSelected");
    AddProxyAction(*popEdit, *actPreviewSelected, "Preview This Item")
        ->setObjectName("popPreviewSelected");
    popEdit->addSeparator()->setObjectName("popEditSep1");
    popEditExplore = popEdit->addMenu("&Explore");
    popEditExplore->setObjectName("popEditExplore");
    popEditExplore->menuAction()->setStatusTip("Opens Windows Explorer.");
    popEditExplore->setEnabled(false);
    QAction* dirA = popEditExplore->addAction("Directory &A");
    dirA->setObjectName("popEditExploreDirA");
    dirA->setStatusTip("Opens directory A with Windows Explorer.");
    connect(dirA, &QAction::triggered, this, &TfrmMain::popEditExploreDirAClick);
    QAction* dirB = popEditExplore->addAction("Directory &B");
    dirB->setObjectName("popEditExploreDirB");
    dirB->setStatusTip("Opens directory B with Windows Explorer.");
    connect(dirB, &QAction::triggered, this, &TfrmMain::popEditExploreDirBClick);
    popEdit->addSeparator()->setObjectName("popEditSep2");
    popEdit->addActions({actEditAdd, actEditDelete});
    popEdit->addSeparator()->setObjectName("popEditSep3");
    popEdit->addActions({actEditMoveUp, actEditMoveDown});
    popEdit->addSeparator()->setObjectName("popEditSep4");
    popEdit->addAction(actEditProperties);
    popEdit->setDefaultAction(actEditProperties);
    // The pop-up is a window of its own: its hints would stop there.
    popEdit->installEventFilter(this);
    popEditExplore->installEventFilter(this);
}

void TfrmMain::CreateStatusBar() {
    stbMain = new TStatusBar(this);
    setStatusBar(stbMain);
}

bool TfrmMain::Execute(QAction* action) {
    // Through trigger(), as menus, buttons and shortcuts go: Qt ignores it on a disabled action.
    if (!action->isEnabled()) {
        return false;
    }
    action->trigger();
    return true;
}

void TfrmMain::RunHandler(QAction* action) {
    (this->*m_handlers.value(action))();
}

bool TfrmMain::RunInProgress() const {
    return actSyncAbort->isEnabled();
}

// ---- Project commands

bool TfrmMain::AskToSave() {
    if (!Modified) {
        return true;
    }
    switch (m_prompts->AskSaveChanges()) {
        case TPrompts::SaveAnswer::Cancel:
            return false;
        case TPrompts::SaveAnswer::No:
            return true;
        case TPrompts::SaveAnswer::Yes:
            return SaveCurrentProject() == SaveOutcome::Saved;
    }
    return false;
}

void TfrmMain::actFileNewExecute() {
    if (!AskToSave()) {
        return;
    }
    ProjectFileName.clear();
    actFileSetAsDefault->setChecked(false);
    lvSyncList->clear();
    lvSyncListSelectItem(false);
    SetTitles("(Untitled) - " + kAppName, true);
    Modified = false;
    UpdateCommands();
}

void TfrmMain::actFileOpenExecute() {
    if (!AskToSave()) {
        return;
    }
    if (const std::optional<QString> path = m_prompts->OpenProjectFileName()) {
        LoadProject(*path);
    }
}

void TfrmMain::actFileSaveExecute() {
    SaveCurrentProject();
}

void TfrmMain::actFileSaveAsExecute() {
    SaveProjectAs();
}

TfrmMain::SaveOutcome TfrmMain::SaveCurrentProject() {
    if (ProjectFileName.isEmpty()) {
        return SaveProjectAs();
    }
    return SaveProject(ProjectFileName) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

TfrmMain::SaveOutcome TfrmMain::SaveProjectAs() {
    const std::optional<QString> path = m_prompts->SaveProjectFileName();
    if (!path) {
        return SaveOutcome::Cancelled;
    }
    return SaveProject(*path) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

void TfrmMain::actFileSetAsDefaultExecute() {
    // The action is checkable: its mark has just been toggled.
    m_settings->WriteString(kGeneral, kDefaultProject,
                            actFileSetAsDefault->isChecked() ? ProjectFileName : QString());
    m_settings->Sync();  // on disk at once, as a start of another instance would read it
}

void TfrmMain::actFileExitExecute() {
    close();
}

void TfrmMain::LoadProject(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        // A later Save writes the current list to that path without a dialog.
        ProjectFileName = path;
        m_prompts->Beep();
        return;
    }
    QList<Profile> profiles;
    QString error;
    if (!ReadProjectFile(path, profiles, error)) {
        m_prompts->ShowError(m_applicationTitle, error);
        return;
    }
    ProjectFileName = path;
    SetTitles(QFileInfo(path).fileName() + " - " + kAppName, true);
    m_profiles->Replace(profiles);
    lvSyncListSelectItem(false);
    UpdateDefaultMark();
    Modified = false;
    UpdateCommands();
}

bool TfrmMain::SaveProject(const QString& path) {
    QString error;
    if (!WriteProjectFile(path, m_profiles->Profiles(), error)) {
        m_prompts->ShowError(m_applicationTitle, error);
        return false;
    }
    ProjectFileName = path;
    SetTitles(QFileInfo(path).fileName() + " - " + kAppName, false);
    UpdateDefaultMark();
    Modified = false;
    UpdateCommands();
    return true;
}

void TfrmMain::SetTitles(const QString& title, bool applicationTitleToo) {
    if (applicationTitleToo) {
        m_applicationTitle = title;
    }
    setWindowTitle(title);
}

void TfrmMain::UpdateDefaultMark() {
    const QString defaultProject = m_settings->ReadString(kGeneral, kDefaultProject, {});
    actFileSetAsDefault->setChecked(AsciiUpper(defaultProject) == AsciiUpper(ProjectFileName));
}

void TfrmMain::UpdateCommands() {
    if (m_profiles->Count() == 0) {
        actSyncAll->setEnabled(false);
        actSyncSelected->setEnabled(false);
    } else if (!RunInProgress()) {
        actSyncAll->setEnabled(true);
    }
    actFileSetAsDefault->setEnabled(!ProjectFileName.isEmpty());
}

void TfrmMain::lvSyncListSelectItem(bool selected) {
    actEditMoveUp->setEnabled(selected);
    actEditMoveDown->setEnabled(selected);
    actEditProperties->setEnabled(selected);
    actEditDelete->setEnabled(selected);
    if (!RunInProgress()) {
        actSyncSelected->setEnabled(selected);
    }
    popEditExplore->setEnabled(selected);
}

// ---- Profile editing

QTreeWidgetItem* TfrmMain::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = lvSyncList->selectedItems();
    return selected.isEmpty() ? nullptr : selected.constFirst();
}

void TfrmMain::SelectOnly(QTreeWidgetItem& row) {
    // The old row is reported deselected first, so the row commands end enabled.
    lvSyncList->clearSelection();
    row.setSelected(true);
}

void TfrmMain::RemoveRow(QTreeWidgetItem* row) {
    // A single-selection view selects a neighbour of its removed current row.
    if (lvSyncList->currentItem() == row) {
        lvSyncList->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    row->setSelected(false);
    delete lvSyncList->takeTopLevelItem(lvSyncList->indexOfTopLevelItem(row));
}

void TfrmMain::actEditAddExecute() {
    QTreeWidgetItem* const previous = SelectedRow();
    const int index = previous != nullptr ? m_profiles->IndexOf(*previous) : m_profiles->Count();
    QTreeWidgetItem* const row = m_profiles->Insert(index, {true, {}, {}, {}});
    SelectOnly(*row);
    // Left without OK, the row goes and nothing is selected, so no row command acts on a row
    // the user did not pick.
    if (!EditSelectedRow()) {
        RemoveRow(row);
    }
    UpdateCommands();
}

void TfrmMain::actEditDeleteExecute() {
    QTreeWidgetItem* const row = SelectedRow();
    if (row == nullptr) {
        return;
    }
    RemoveRow(row);
    Modified = true;
    UpdateCommands();
}

void TfrmMain::actEditMoveUpExecute() {
    MoveSelectedRow(-1);
}

void TfrmMain::actEditMoveDownExecute() {
    MoveSelectedRow(1);
}

void TfrmMain::MoveSelectedRow(int offset) {
    QTreeWidgetItem* const row = SelectedRow();
    if (row == nullptr) {
        return;
    }
    const int index = m_profiles->IndexOf(*row);
    const int target = index + offset;
    if (target < 0 || target >= m_profiles->Count()) {
        return;
    }
    {
        const UpdatesSuspended suspended(*lvSyncList);
        // The copy goes above the row above, or below the row below, before the row goes.
        QTreeWidgetItem* const moved =
            m_profiles->Insert(offset < 0 ? target : target + 1, *m_profiles->At(index));
        RemoveRow(row);
        SelectOnly(*moved);
    }
    Modified = true;
}

void TfrmMain::actEditPropertiesExecute() {
    EditSelectedRow();
}

bool TfrmMain::EditSelectedRow() {
    const QTreeWidgetItem* const row = SelectedRow();
    if (row == nullptr) {
        return false;
    }
    TfrmSyncSettings frmSyncSettings(this, &m_prompts->SyncSettingsPrompts());
    frmSyncSettings.SetTexts(TProfileList::Texts(*row));
    if (frmSyncSettings.exec() != QDialog::Accepted) {
        return false;
    }
    // The row selected now; while the dialog was modal the window took no input.
    if (QTreeWidgetItem* const selected = SelectedRow()) {
        TProfileList::SetTexts(*selected, frmSyncSettings.Texts());
        Modified = true;
    }
    return true;
}

void TfrmMain::lvSyncListDblClick() {
    Execute(actEditProperties);
}

void TfrmMain::popEditExploreDirAClick() {
    ExploreDirectory(&ProfileTexts::DirA);
}

void TfrmMain::popEditExploreDirBClick() {
    ExploreDirectory(&ProfileTexts::DirB);
}

void TfrmMain::ExploreDirectory(QString ProfileTexts::*folder) {
    const QTreeWidgetItem* const row = SelectedRow();
    if (row == nullptr) {
        return;
    }
    const QString path = TProfileList::Texts(*row).*folder;
    // An empty path names no folder; the current directory is not meant.
    if (path.isEmpty()) {
        return;
    }
    // A relative folder is taken from the current directory, as the folder test takes it.
    m_prompts->UrlOpener().OpenUrl(QUrl::fromLocalFile(QDir().absoluteFilePath(path)));
}

// ---- Help

void TfrmMain::actHelpContentsExecute() {
    const QString page = HelpPagePath(QCoreApplication::applicationDirPath(),
                                      QStringLiteral(KALVEX_INSTALLED_HELP_PAGE));
    if (!page.isEmpty()) {
        m_prompts->UrlOpener().OpenUrl(QUrl::fromLocalFile(page));
    }
}

void TfrmMain::actHelpAboutExecute() {
    TfrmAbout frmAbout(this, &m_prompts->UrlOpener());
    frmAbout.exec();
}

// ---- Runs

void TfrmMain::actSyncAllExecute() {
    StartRun(true, RunMode::Synchronize);
}

void TfrmMain::actSyncSelectedExecute() {
    StartRun(false, RunMode::Synchronize);
}

void TfrmMain::actPreviewAllExecute() {
    StartRun(true, RunMode::Preview);
}

void TfrmMain::actPreviewSelectedExecute() {
    StartRun(false, RunMode::Preview);
}

void TfrmMain::actSyncAbortExecute() {
    if (SyncThread) {
        SyncThread->requestInterruption();
    }
}

void TfrmMain::StartRun(bool syncAllMode, RunMode mode) {
    SyncAllMode = syncAllMode;
    m_runMode = mode;
    m_logModel->Clear();
    actSyncAbort->setEnabled(true);
    actSyncAll->setEnabled(false);
    actSyncSelected->setEnabled(false);
    stbMain->SetSimplePanel(false);
    // A preview says so on the bar that shows how far the run has come, from start to end.
    ProgressBar->setTextVisible(m_runMode == RunMode::Preview);
    ProgressBar->show();
    stbMainResize();
    repaint();
    // The worker starts itself and deletes itself once the run is over.
    SyncThread = new TKalvex(m_frontend, SyncAllMode, m_runMode);
    connect(SyncThread, &QObject::destroyed, this, [this] {
        // Null unless a newer run has started since this worker's end.
        if (m_quitWhenIdle && SyncThread.isNull()) {
            Q_EMIT ReadyToQuit();
        }
    });
}

void TfrmMain::QuitWhenIdle() {
    if (SyncThread.isNull()) {
        Q_EMIT ReadyToQuit();
        return;
    }
    m_quitWhenIdle = true;
    SyncThread->requestInterruption();
    m_prompts->CloseEngineMessages();
}

void TfrmMain::stbMainResize() {
    const QRect bar = stbMain->geometry();
    ProgressBar->setGeometry(bar.left(), bar.top() + 2, stbMain->PanelWidth(0), bar.height() - 2);
    ProgressBar->raise();
}

int TfrmMain::RunProfileCount() const {
    return m_profiles->Count();
}

std::optional<Profile> TfrmMain::RunProfileAt(int index) const {
    return m_profiles->At(index);
}

int TfrmMain::RunSelectedProfile() const {
    const QList<QTreeWidgetItem*> selected = lvSyncList->selectedItems();
    return selected.isEmpty() ? -1 : lvSyncList->indexOfTopLevelItem(selected.constFirst());
}

QString TfrmMain::RunProjectFileName() const {
    return ProjectFileName;
}

void TfrmMain::RunBeginProfile(const QString& profileName, int topLevelFolders) {
    ProgressBar->setValue(0);
    // A range of 0 to 0 would turn the bar into a busy indicator; with no folders to count
    // no step is made, so 1 shows the same empty bar.
    ProgressBar->setMaximum(std::max(topLevelFolders, 1));
    const QString panelText = profileName + ":";
    stbMain->SetPanelText(1, panelText);
    stbMain->SetPanelWidth(1,
                           stbMain->fontMetrics().horizontalAdvance(panelText) + kPanelTextMargin);
    m_logModel->AddCaptionRow(m_runMode == RunMode::Preview ? PreviewHeaderCaption(profileName)
                                                            : HeaderRowCaption(profileName));
}

void TfrmMain::RunShowFolder(const QString& currentFolder, bool topLevel) {
    stbMain->SetPanelText(2, currentFolder);
    if (topLevel) {
        ProgressBar->setValue(std::min(ProgressBar->value() + 1, ProgressBar->maximum()));
    }
}

void TfrmMain::RunAddLogRows(std::span<const LogRow> rows) {
    m_logModel->AddActionRows(rows);
}

void TfrmMain::RunShowWarning(const QString& text) {
    m_logModel->AddCaptionRow(text);
}

void TfrmMain::RunFinish(bool /*allProfilesCompleted*/) {
    stbMain->SetSimpleText({});
    stbMain->SetPanelText(1, {});
    stbMain->SetPanelText(2, {});
    actSyncAbort->setEnabled(false);
    actSyncAll->setEnabled(true);
    actSyncSelected->setEnabled(!lvSyncList->selectedItems().isEmpty());
    stbMain->SetSimplePanel(true);
    ProgressBar->setValue(0);
    ProgressBar->hide();
    m_logModel->AddCaptionRow(QString::fromUtf16(kDoneRowCaption));
}

void TfrmMain::RunAsk(const EngineMessage& message, std::function<void(Answer)> answered) {
    if (m_quitWhenIdle) {
        // Nobody is left to answer: the run is being aborted anyway.
        answered(message.kind == MessageKind::Question ? Answer::No : Answer::Ok);
        return;
    }
    m_prompts->ShowEngineMessage(message, std::move(answered));
}

// ---- Start-up, layout and closing

void TfrmMain::FormCreate(const QStringList& arguments) {
    RestoreLayout(*m_settings);
    QString defaultProject = m_settings->ReadString(kGeneral, kDefaultProject, {});
    bool syncRequest = false;
    Execute(actFileNew);
    for (const QString& argument : arguments) {
        const QString upper = AsciiUpper(argument);
        if (upper == "/SYNC") {
            syncRequest = true;
            continue;
        }
        if (upper == "/SILENT") {
            continue;
        }
        defaultProject.clear();
        LoadProject(argument);
        break;
    }
    if (!defaultProject.isEmpty()) {
        LoadProject(defaultProject);
    }
    if (syncRequest && actSyncAll->isEnabled()) {
        Execute(actSyncAll);
    }
}

void TfrmMain::ShowRestored() {
    if (m_restoredState & Qt::WindowMaximized) {
        showMaximized();
    } else if (m_restoredState & Qt::WindowMinimized) {
        showMinimized();
    } else {
        show();
    }
}

void TfrmMain::RestoreLayout(const platform::Settings& settings) {
    const LayoutValues layout = ReadLayout(settings);
    if (layout[kLeft] || layout[kTop]) {
        move(layout[kLeft].value_or(x()), layout[kTop].value_or(y()));
    }
    resize(layout[kWidth].value_or(width()), layout[kHeight].value_or(height()));
    switch (*layout[kWindowState]) {
        case 1:
            m_restoredState = Qt::WindowMinimized;
            break;
        case 2:
            m_restoredState = Qt::WindowMaximized;
            break;
        default:
            m_restoredState = Qt::WindowNoState;
            break;
    }
    setWindowState(m_restoredState);
    const int syncListHeight = *layout[kSyncListHeight];
    Splitter1->setSizes({syncListHeight, std::max(0, Splitter1->height() - syncListHeight)});
    for (int column = 0; column < kSyncListColumnCount; ++column) {
        lvSyncList->header()->resizeSection(column, *layout[kSyncListC0 + column]);
    }
    for (int column = 0; column < kLogListColumnCount; ++column) {
        lvLog->header()->resizeSection(column, *layout[kLogListC0 + column]);
    }
}

void TfrmMain::StoreLayout(platform::Settings& settings) const {
    LayoutValues layout;
    layout[kSyncListHeight] = lvSyncList->height();
    layout[kWindowState] = WindowStateValue(windowState());
    // Outside the normal state the stored position, size and columns stay those of that state.
    if (layout[kWindowState] == 0) {
        layout[kLeft] = x();
        layout[kTop] = y();
        layout[kWidth] = width();
        layout[kHeight] = height();
        for (int column = 0; column < kSyncListColumnCount; ++column) {
            layout[kSyncListC0 + column] = lvSyncList->header()->sectionSize(column);
        }
        for (int column = 0; column < kLogListColumnCount; ++column) {
            layout[kLogListC0 + column] = lvLog->header()->sectionSize(column);
        }
    }
    WriteLayout(settings, layout);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    bool refuse = false;
    if (RunInProgress()) {
        refuse = true;
        m_prompts->Beep();
    }
    if (Modified) {
        switch (m_prompts->AskSaveChanges()) {
            case TPrompts::SaveAnswer::Cancel:
                refuse = true;
                break;
            case TPrompts::SaveAnswer::Yes: {
                const SaveOutcome saved = SaveCurrentProject();
                if (saved == SaveOutcome::Failed) {
                    // The error box has told why; the window stays and the layout is not written.
                    event->ignore();
                    return;
                }
                refuse = refuse || saved != SaveOutcome::Saved;
                break;
            }
            case TPrompts::SaveAnswer::No:
                break;
        }
    }
    StoreLayout(*m_settings);
    m_settings->Sync();
    if (refuse) {
        event->ignore();
    } else {
        event->accept();
    }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        stbMain->ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfrmMain::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        stbMain->ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

}  // namespace kalvex
