#include "GuiTest.h"
#include "Window.h"
#include "forms/StatusBar.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

using namespace kalvex;
using kalvex::test::Window;

namespace {

// Counts the key presses that reach a control, other than those of the modifier keys.
class KeyCounter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            !kModifierKeys.contains(static_cast<const QKeyEvent*>(event)->key())) {
            ++presses;
        }
        return false;
    }
    static inline const QList<int> kModifierKeys = {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt,
                                                    Qt::Key_Meta};
    int presses = 0;
};

QStringList Entries(const QMenu& menu) {
    QStringList entries;
    for (const QAction* action : menu.actions()) {
        entries.append(action->isSeparator() ? QString("-") : action->text());
    }
    return entries;
}

}  // namespace

class TestMainWindow final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void actionTable_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortHint");
        QTest::addColumn<QString>("longHint");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("hasImage");
        QTest::addColumn<bool>("enabled");
        const auto row = [](const char* name, const char* caption, const char* shortHint,
                            const char* longHint, const char* shortcut, bool image, bool enabled) {
            QTest::newRow(name) << QString(name) << QString(caption) << QString(shortHint)
                                << QString(longHint) << QString(shortcut) << image << enabled;
        };
        row("actEditAdd", "&Add...", "Add", "Adds a new profile to the current project.", "", true,
            true);
        row("actEditDelete", "&Delete", "Delete", "Deletes the selected profile.", "Del", true,
            false);
        row("actFileNew", "&New", "New", "Creates a new project.", "Ctrl+N", true, true);
        row("actFileOpen", "&Open...", "Open", "Opens an existing project.", "Ctrl+O", true, true);
        row("actSyncAll", "Synchronize &All", "Sync All", "Synchronizes the checked profile(s).",
            "F5", true, false);
        row("actFileSave", "&Save", "Save", "Saves the current project.", "Ctrl+S", true, true);
        row("actFileSaveAs", "Save &As...", "Save As", "Saves the current project with a new name.",
            "", false, true);
        row("actHelpAbout", "&About...", "About", "Displays program information.", "", false, true);
        row("actFileExit", "E&xit", "Exit", "Quits the application.", "", false, true);
        row("actEditMoveUp", "Move &Up", "Move Up", "Moves up the selected profile.", "", true,
            false);
        row("actEditMoveDown", "Move &Down", "Move Down", "Moves down the selected profile.", "",
            true, false);
        row("actEditProperties", "P&roperties...", "Properties",
            "Displays the properties of the selected profile.", "Enter", true, false);
        row("actSyncSelected", "Synchronize &Selected", "Synchronize Selected",
            "Synchronizes only the selected profile.", "F4", false, false);
        row("actHelpContents", "&Help...", "Help", "Displays the help contents.", "F1", true, true);
        row("actSyncAbort", "A&bort", "Abort", "Aborts the current synchronization.", "Esc", true,
            false);
        row("actFileSetAsDefault", "&Default Project", "Default",
            "Sets this project as a default project.", "", false, true);
        row("actPreviewAll", "&Preview All", "Preview All",
            "Shows what synchronizing the checked profile(s) would do, without changing anything.",
            "Shift+F5", true, false);
        row("actPreviewSelected", "Preview S&elected", "Preview Selected",
            "Shows what synchronizing only the selected profile would do, without changing "
            "anything.",
            "Shift+F4", false, false);
    }
    void actionTable() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, shortHint);
        QFETCH(QString, longHint);
        QFETCH(QString, shortcut);
        QFETCH(bool, hasImage);
        QFETCH(bool, enabled);
        const Window window;
        const QAction* action = window.Action(name);
        QVERIFY(action != nullptr);
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->toolTip(), shortHint);
        QCOMPARE(action->statusTip(), longHint);
        QCOMPARE(action->shortcut().toString(), shortcut);
        QCOMPARE(!action->icon().isNull(), hasImage);
        QCOMPARE(action->isEnabled(), enabled);
    }

    void menusAndToolBar_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("File") << "mnuFile"
                              << QStringList{"&New", "&Open...",         "&Save", "Save &As...",
                                             "-",    "&Default Project", "-",     "E&xit"};
        QTest::newRow("Edit") << "mnuEdit" << QStringList{"&Add...",       "&Delete",    "-",
                                                          "Move &Up",      "Move &Down", "-",
                                                          "P&roperties..."};
        QTest::newRow("Synchronization") << "mnuSync" << QStringList{"Synchronize &All",
                                                                     "&Preview All",
                                                                     "Synchronize &Selected",
                                                                     "Preview S&elected",
                                                                     "-",
                                                                     "A&bort"};
        QTest::newRow("Help") << "mnuHelp" << QStringList{"&Help...", "-", "&About..."};
        QTest::newRow("pop-up") << "popEdit"
                                << QStringList{"Synchronize This Item",
                                               "Preview This Item",
                                               "-",
                                               "&Explore",
                                               "-",
                                               "&Add...",
                                               "&Delete",
                                               "-",
                                               "Move &Up",
                                               "Move &Down",
                                               "-",
                                               "P&roperties..."};
        QTest::newRow("Explore") << "popEditExplore" << QStringList{"Directory &A", "Directory &B"};
    }
    void menusAndToolBar() {
        QFETCH(QString, menu);
        QFETCH(QStringList, entries);
        const Window window;
        const QMenu* found = window->findChild<QMenu*>(menu);
        QVERIFY(found != nullptr);
        QCOMPARE(Entries(*found), entries);
    }

    // The key of each entry, as the menu shows it beside the caption.
    void menusShowTheKeys_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("Synchronization") << "mnuSync"
                                         << QStringList{"Synchronize &All\tF5",
                                                        "&Preview All\tShift+F5",
                                                        "Synchronize &Selected\tF4",
                                                        "Preview S&elected\tShift+F4",
                                                        "-",
                                                        "A&bort\tEsc"};
        QTest::newRow("Edit")
            << "mnuEdit"
            << QStringList{"&Add...", "&Delete\tDel",         "-", "Move &Up", "Move &Down",
                           "-",       "P&roperties...\tEnter"};
        QTest::newRow("pop-up") << "popEdit"
                                << QStringList{"Synchronize This Item\tF4",
                                               "Preview This Item\tShift+F4",
                                               "-",
                                               "&Explore",
                                               "-",
                                               "&Add...",
                                               "&Delete\tDel",
                                               "-",
                                               "Move &Up",
                                               "Move &Down",
                                               "-",
                                               "P&roperties...\tEnter"};
    }
    void menusShowTheKeys() {
        QFETCH(QString, menu);
        QFETCH(QStringList, shown);
        const Window window;
        QStringList entries;
        for (const QAction* action : window->findChild<QMenu*>(menu)->actions()) {
            const QString key = action->shortcut().toString(QKeySequence::NativeText);
            entries.append(action->isSeparator()
                               ? QString("-")
                               : action->text() + (key.isEmpty() ? "" : "\t" + key));
        }
        QCOMPARE(entries, shown);
    }

    // Each entry of the pop-up that stands for a run command follows that command.
    void popUpRunEntriesFollowTheirCommands_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("command");
        QTest::newRow("Synchronize This Item") << "popSyncSelected"
                                               << "actSyncSelected";
        QTest::newRow("Preview This Item") << "popPreviewSelected"
                                           << "actPreviewSelected";
    }
    void popUpRunEntriesFollowTheirCommands() {
        QFETCH(QString, entry);
        QFETCH(QString, command);
        const Window window;
        QTemporaryDir dir;
        const QString project = dir.filePath("p.kvx");
        QVERIFY(test::WriteProject(project, {{true, "one", "/a", "/b"}}));
        window->FormCreate({project});
        const QAction* proxy = window->findChild<QMenu*>("popEdit")->findChild<QAction*>(entry);
        QVERIFY(proxy != nullptr);
        const QAction* target = window.Action(command);
        QCOMPARE(proxy->statusTip(), target->statusTip());
        QVERIFY(!proxy->isEnabled());
        window.SelectRow(0);
        QVERIFY(target->isEnabled() && proxy->isEnabled());
        window.SelectRow(-1);
        QVERIFY(!target->isEnabled() && !proxy->isEnabled());
    }

    void menuBarOrderAndToolButtons() {
        const Window window;
        QStringList top;
        for (const QAction* action : window->menuBar()->actions()) {
            top.append(action->text());
        }
        QCOMPARE(top, (QStringList{"&File", "&Edit", "&Synchronization", "&Help"}));

        const QToolBar* toolBar = window->findChild<QToolBar*>("tbrMain");
        QStringList buttons;
        for (QAction* action : toolBar->actions()) {
            const auto* button = qobject_cast<const QToolButton*>(toolBar->widgetForAction(action));
            buttons.append(action->isSeparator() ? QString("|") : button->text());
            if (!action->isSeparator()) {
                QCOMPARE(button->toolTip(), action->toolTip());
                QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            }
        }
        QCOMPARE(buttons, (QStringList{"New", "Open", "Save", "|", "Add", "Delete", "Up", "Down",
                                       "|", "Sync All", "Preview", "Abort"}));
        // The preview has an image of its own, not Synchronize All's.
        const QImage syncImage = window.Action("actSyncAll")->icon().pixmap(16).toImage();
        const QImage previewImage = window.Action("actPreviewAll")->icon().pixmap(16).toImage();
        QCOMPARE(previewImage.size(), QSize(16, 16));
        QVERIFY(previewImage != syncImage);
        QCOMPARE(window->findChild<QMenu*>("popEdit")->defaultAction(),
                 window.Action("actEditProperties"));
    }

    void composition() {
        const Window window;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        QCOMPARE(window.SyncList()->headerItem()->text(1), QString("Directory A"));
        QCOMPARE(window.LogList()->model()->headerData(0, Qt::Horizontal).toString(),
                 QString("File Name"));
        QCOMPARE(window.SyncList()->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(window.LogList()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(window.LogList()->uniformRowHeights());
        QVERIFY(window.StatusBar()->SimplePanel());
        QVERIFY(window.Progress()->isHidden());
        // The log list comes first in the tab order, then the profile list.
        QTRY_COMPARE(QApplication::focusWidget(), window.LogList());
        QTest::keyClick(window.LogList(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.SyncList());
        // Five pixels of splitter between the lists; dragged all the way up, the profile list
        // keeps 30 pixels instead of collapsing.
        auto* splitter = window->findChild<QSplitter*>("Splitter1");
        QCOMPARE(window.LogList()->y() - window.SyncList()->geometry().bottom() - 1, 5);
        QVERIFY(!splitter->childrenCollapsible());
        splitter->setSizes({0, splitter->height()});
        QCOMPARE(window.SyncList()->height(), 30);
        QVERIFY(window->findChild<QMenu*>("popEditExplore")->isEnabled() == false);
    }

    // Every route to a disabled command: none of them starts a run.
    void disabledCommandNeverRuns_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("route");
        for (const char* command : {"actSyncAll", "actPreviewAll"}) {
            for (const char* route : {"trigger", "key", "button", "menu"}) {
                QTest::addRow("%s, %s", command, route) << command << route;
            }
        }
    }
    void disabledCommandNeverRuns() {
        QFETCH(QString, command);
        QFETCH(QString, route);
        const Window window;
        window->FormCreate({});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        QAction* action = window.Action(command);
        QVERIFY(!action->isEnabled());
        if (route == "trigger") {
            action->trigger();
        } else if (route == "key") {
            window.LogList()->setFocus();
            QTest::keySequence(window.LogList(), action->shortcut());
        } else if (route == "button") {
            auto* toolBar = window->findChild<QToolBar*>("tbrMain");
            QTest::mouseClick(toolBar->widgetForAction(action), Qt::LeftButton);
        } else {
            const QList<QAction*> entries = window->findChild<QMenu*>("mnuSync")->actions();
            QVERIFY(entries.contains(action));
            entries.at(entries.indexOf(action))->activate(QAction::Trigger);
        }
        QCoreApplication::processEvents();
        QVERIFY(!window.Action("actSyncAbort")->isEnabled());
        QVERIFY(!window->WorkerAlive());
        QCOMPARE(window.LogList()->model()->rowCount(), 0);
    }

    // The key of a disabled command is swallowed; other keys reach the control.
    void keysOfDisabledCommandsDoNotReachTheControl_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("reaching");
        const int none = Qt::NoModifier;
        const int shift = Qt::ShiftModifier;
        QTest::newRow("Esc outside a run") << int(Qt::Key_Escape) << none << 0;
        QTest::newRow("F4 without a selection") << int(Qt::Key_F4) << none << 0;
        QTest::newRow("Shift+F4 without a selection") << int(Qt::Key_F4) << shift << 0;
        QTest::newRow("Shift+F5 without a profile") << int(Qt::Key_F5) << shift << 0;
        QTest::newRow("Enter without a selection") << int(Qt::Key_Return) << none << 0;
        QTest::newRow("Del without a selection") << int(Qt::Key_Delete) << none << 0;
        QTest::newRow("a key of no command") << int(Qt::Key_Down) << none << 1;
        QTest::newRow("a shifted key of no command") << int(Qt::Key_F6) << shift << 1;
    }
    void keysOfDisabledCommandsDoNotReachTheControl() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, reaching);
        const Window window;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        KeyCounter counter;
        window.LogList()->installEventFilter(&counter);
        window.LogList()->setFocus();
        QTest::keyClick(window.LogList(), static_cast<Qt::Key>(key),
                        static_cast<Qt::KeyboardModifiers>(modifiers));
        QCOMPARE(counter.presses, reaching);
    }

    void shortcutActsWhereverTheFocusIs_data() {
        QTest::addColumn<QString>("focus");
        QTest::newRow("log list") << "lvLog";
        QTest::newRow("profile list") << "lvSyncList";
    }
    void shortcutActsWhereverTheFocusIs() {
        QFETCH(QString, focus);
        const Window window;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        QCOMPARE(window->windowTitle(), QString());
        QWidget* control = window->findChild<QWidget*>(focus);
        control->setFocus();
        QTest::keyClick(control, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(window->windowTitle(), QString("(Untitled) - Kalvex"));
    }

    void hintsGoToTheStatusBar_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("hint");
        QTest::newRow("Save As") << "actFileSaveAs"
                                 << "Saves the current project with a new name.";
    }
    void hintsGoToTheStatusBar() {
        QFETCH(QString, entry);
        QFETCH(QString, hint);
        const Window window;
        window->show();
        window->findChild<QAction*>(entry)->showStatusText(&*window);
        QCOMPARE(window.StatusBar()->SimpleText(), hint);
        QCOMPARE(window.StatusBar()->currentMessage(), QString());
    }

    void hoverInThePopUpShowsTheHint_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("hint");
        QTest::newRow("Directory A") << "popEditExploreDirA"
                                     << "Opens directory A with Windows Explorer.";
        QTest::newRow("Explore") << "popEditExplore"
                                 << "Opens Windows Explorer.";
        QTest::newRow("Add") << "actEditAdd"
                             << "Adds a new profile to the current project.";
    }
    void hoverInThePopUpShowsTheHint() {
        QFETCH(QString, entry);
        QFETCH(QString, hint);
        const Window window;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        auto* popEdit = window->findChild<QMenu*>("popEdit");
        auto* explore = window->findChild<QMenu*>("popEditExplore");
        explore->setEnabled(true);
        popEdit->popup(window->mapToGlobal(QPoint(50, 120)));
        QVERIFY(QTest::qWaitForWindowExposed(popEdit));
        QMenu* menu = popEdit;
        QAction* action =
            entry == "popEditExplore" ? explore->menuAction() : window->findChild<QAction*>(entry);
        if (!popEdit->actions().contains(action)) {
            QTest::mouseMove(popEdit, popEdit->actionGeometry(explore->menuAction()).center());
            QTRY_VERIFY(explore->isVisible());
            menu = explore;
        }
        QTest::mouseMove(menu, menu->actionGeometry(action).center());
        QTRY_COMPARE(window.StatusBar()->SimpleText(), hint);
        popEdit->close();
    }

    // A deep folder or a long hint is cut, never makes the window wider.
    void longTextsDoNotWidenTheWindow_data() {
        QTest::addColumn<bool>("simple");
        QTest::newRow("hint at rest") << true;
        QTest::newRow("folder during a run") << false;
    }
    void longTextsDoNotWidenTheWindow() {
        QFETCH(bool, simple);
        const Window window;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        window->resize(640, 480);
        QTRY_COMPARE(window->width(), 640);
        const QString text = QString("folder\\").repeated(300);
        window.StatusBar()->SetSimplePanel(simple);
        window.StatusBar()->SetSimpleText(text);
        window.StatusBar()->SetPanelText(2, text);
        window.StatusBar()->SetPanelWidth(1, 3000);  // a long profile name
        QCoreApplication::processEvents();
        QCOMPARE(window->width(), 640);
        QVERIFY(window->minimumSizeHint().width() < 640);
    }

    void selectionEnablesTheRowCommands() {
        const Window window;
        QTemporaryDir dir;
        const QString project = dir.filePath("p.kvx");
        QVERIFY(
            test::WriteProject(project, {{true, "one", "/a", "/b"}, {true, "two", "/c", "/d"}}));
        window->FormCreate({project});
        const QStringList rowCommands = {"actEditDelete",   "actEditMoveUp",
                                         "actEditMoveDown", "actEditProperties",
                                         "actSyncSelected", "actPreviewSelected"};
        const auto enabled = [&] {
            QStringList on;
            for (const QString& name : rowCommands) {
                if (window.Action(name)->isEnabled()) {
                    on.append(name);
                }
            }
            return on;
        };
        QCOMPARE(enabled(), QStringList());
        window.SelectRow(1);
        QCOMPARE(enabled(), rowCommands);
        QVERIFY(window->findChild<QMenu*>("popEditExplore")->isEnabled());
        window.SelectRow(-1);
        QCOMPARE(enabled(), QStringList());
    }

    void exitClosesTheWindow() {
        const Window window;
        window->FormCreate({});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        QVERIFY(window.Trigger("actFileExit"));
        QVERIFY(!window->isVisible());
    }
};

KALVEX_GUI_TEST(TestMainWindow);

#include "TestMainWindow.moc"
