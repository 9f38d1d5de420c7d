#include "GuiTest.h"
#include "RunFixture.h"
#include "Window.h"
#include "forms/About.h"
#include "forms/Syncsettings.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>

using namespace kalvex;
using kalvex::test::Window;

namespace {

// Acts on every modal dialog of type T as it shows, once each; whatever `act` leaves open is
// rejected, so a dialog that should not have opened never hangs the test.
template <typename T>
class OnModal {
public:
    explicit OnModal(std::function<void(T&)> act = {}) : m_act(std::move(act)) {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
        m_timer.start(5);
    }
    int Shown() const { return m_shown; }

private:
    void Poll() {
        const QPointer<T> dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog.isNull()) {
            return;
        }
        ++m_shown;
        if (m_act) {
            m_act(*dialog);
        }
        if (dialog && dialog->isVisible()) {
            dialog->reject();
        }
    }

    std::function<void(T&)> m_act;
    QTimer m_timer;
    int m_shown = 0;
};

// Leaves a dialog the way a user would: "ok", "enter", "cancel", "esc" or "close".
void Leave(QDialog& dialog, const QString& way) {
    QWidget* focus = dialog.focusWidget() != nullptr ? dialog.focusWidget() : &dialog;
    if (way == "ok") {
        QTest::mouseClick(dialog.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    } else if (way == "cancel") {
        QTest::mouseClick(dialog.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    } else if (way == "enter") {
        QTest::keyClick(focus, Qt::Key_Return);
    } else if (way == "esc") {
        QTest::keyClick(focus, Qt::Key_Escape);
    } else {
        dialog.close();
    }
}

void Type(TfrmSyncSettings& dialog, const ProfileTexts& texts) {
    dialog.findChild<QLineEdit*>("txtItemName")->setText(texts.Name);
    dialog.findChild<QLineEdit*>("txtDirectoryA")->setText(texts.DirA);
    dialog.findChild<QLineEdit*>("txtDirectoryB")->setText(texts.DirB);
}

// A row as "x|name|A|B" ("-" for an unchecked box).
QString RowText(const QTreeWidgetItem& row) {
    return QStringList{row.checkState(0) == Qt::Checked ? "x" : "-", row.text(0), row.text(1),
                       row.text(2)}
        .join('|');
}

QStringList Rows(const Window& window) {
    QStringList rows;
    for (int index = 0; index < window.SyncList()->topLevelItemCount(); ++index) {
        rows.append(RowText(*window.SyncList()->topLevelItem(index)));
    }
    return rows;
}

int SelectedIndex(const Window& window) {
    const QList<QTreeWidgetItem*> selected = window.SyncList()->selectedItems();
    return selected.isEmpty() ? -1 : window.SyncList()->indexOfTopLevelItem(selected.first());
}

// The seven commands that follow the selection, by name, that are enabled now.
QStringList EnabledRowCommands(const Window& window) {
    QStringList enabled;
    for (const char* name : {"actEditDelete", "actEditMoveUp", "actEditMoveDown",
                             "actEditProperties", "actSyncSelected", "actPreviewSelected"}) {
        if (window.Action(name)->isEnabled()) {
            enabled.append(name);
        }
    }
    if (window->findChild<QMenu*>("popEditExplore")->isEnabled()) {
        enabled.append("popEditExplore");
    }
    return enabled;
}

const QStringList kAllRowCommands = {"actEditDelete",     "actEditMoveUp",   "actEditMoveDown",
                                     "actEditProperties", "actSyncSelected", "actPreviewSelected",
                                     "popEditExplore"};

}  // namespace

class TestProfileEditing final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;

    QString Folder(const QString& name) const { return m_root.filePath(name); }

    // The project "one" (checked), "two" (unchecked), "three" (checked), with folders that
    // exist, opened in a shown window; `count` rows of it.
    void Open(const Window& window, int count = 3) const {
        const QList<Profile> all = {{true, "one", Folder("a"), Folder("b")},
                                    {false, "two", Folder("c"), Folder("d")},
                                    {true, "three", Folder("a"), Folder("d/")}};
        const QString project = m_root.filePath("p.kvx");
        QVERIFY(test::WriteProject(project, all.mid(0, count)));
        window->FormCreate({project});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        for (const char* name : {"a", "b", "c", "d"}) {
            QVERIFY(QDir(m_root.path()).mkpath(name));
        }
    }

    void addLeftWithoutOkChangesNothing_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<bool>("typed");  // texts typed before leaving
        QTest::newRow("Cancel, nothing selected") << "cancel" << -1 << false << false;
        QTest::newRow("Cancel, second row selected") << "cancel" << 1 << false << false;
        QTest::newRow("Esc, first row selected, modified") << "esc" << 0 << true << false;
        QTest::newRow("close box, last row selected") << "close" << 2 << false << false;
        QTest::newRow("close box, nothing selected, modified") << "close" << -1 << true << false;
        QTest::newRow("typed, then Cancel") << "cancel" << 1 << false << true;
        QTest::newRow("typed, then Esc") << "esc" << -1 << true << true;
    }
    void addLeftWithoutOkChangesNothing() {
        QFETCH(QString, way);
        QFETCH(int, selected);
        QFETCH(bool, modified);
        QFETCH(bool, typed);
        const Window window;
        Open(window);
        window.SelectRow(selected);
        window->SetModified(modified);
        const QStringList before = Rows(window);
        QCOMPARE(EnabledRowCommands(window).isEmpty(), selected < 0);

        QStringList whileOpen;
        const OnModal<TfrmSyncSettings> dialog([&](TfrmSyncSettings& shown) {
            QCOMPARE(shown.Texts(), ProfileTexts());
            whileOpen = Rows(window);
            if (typed) {
                Type(shown, {"new", Folder("a"), Folder("b")});
            }
            Leave(shown, way);
        });
        QVERIFY(window.Trigger("actEditAdd"));

        QCOMPARE(dialog.Shown(), 1);
        // The new row was there, checked and empty, while the dialog was open.
        QCOMPARE(whileOpen.size(), before.size() + 1);
        QCOMPARE(whileOpen.count("x|||"), 1);
        QCOMPARE(Rows(window), before);
        // No row is selected afterwards, whichever was before: the row commands are off.
        QCOMPARE(SelectedIndex(window), -1);
        QCOMPARE(window->IsModified(), modified);
        QCOMPARE(EnabledRowCommands(window), QStringList());
    }

    void addInsertsAboveTheSelectionOrAtTheEnd_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("expected");  // index of the new row
        QTest::newRow("nothing selected: at the end") << 3 << -1 << 3;
        QTest::newRow("first selected: first") << 3 << 0 << 0;
        QTest::newRow("second selected: second") << 3 << 1 << 1;
        QTest::newRow("last selected: above it") << 3 << 2 << 2;
        QTest::newRow("empty project") << 0 << -1 << 0;
    }
    void addInsertsAboveTheSelectionOrAtTheEnd() {
        QFETCH(int, rows);
        QFETCH(int, selected);
        QFETCH(int, expected);
        const Window window;
        Open(window, rows);
        window.SelectRow(selected);
        QStringList rowsAfter = Rows(window);
        const ProfileTexts typed{"new", Folder("c"), Folder("b/")};
        rowsAfter.insert(expected, "x|new|" + typed.DirA + "|" + typed.DirB);

        int selectedWhileOpen = -2;
        const OnModal<TfrmSyncSettings> dialog([&](TfrmSyncSettings& shown) {
            selectedWhileOpen = SelectedIndex(window);
            Type(shown, typed);
            Leave(shown, "ok");
        });
        QVERIFY(window.Trigger("actEditAdd"));

        QCOMPARE(dialog.Shown(), 1);
        QCOMPARE(selectedWhileOpen, expected);
        QCOMPARE(Rows(window), rowsAfter);
        QCOMPARE(SelectedIndex(window), expected);
        QVERIFY(window->IsModified());
        // The first profile makes Synchronize All and Preview All available.
        QVERIFY(window.Action("actSyncAll")->isEnabled());
        QVERIFY(window.Action("actPreviewAll")->isEnabled());
        QCOMPARE(EnabledRowCommands(window), kAllRowCommands);
    }

    // Properties on the second row, its dialog left one way or another.
    void propertiesWritesTheTextsOnOkOnly_data() {
        QTest::addColumn<QStringList>("typed");  // name, A, B; empty: left as shown
        QTest::addColumn<QString>("chosenA");    // picked with "..." for Directory A
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("expected");  // the row afterwards, "" for unchanged
        const QString a = Folder("a");
        const QString b = Folder("b");
        QTest::newRow("OK with new texts") << QStringList{"Pictures", a, b} << ""
                                           << "ok"
                                           << "-|Pictures|" + a + "|" + b;
        QTest::newRow("Enter with new texts") << QStringList{"P", b, a} << ""
                                              << "enter"
                                              << "-|P|" + b + "|" + a;
        QTest::newRow("OK without a change still marks")
            << QStringList() << ""
            << "ok"
            << "-|two|" + Folder("c") + "|" + Folder("d");
        QTest::newRow("empty name, trailing separators kept")
            << QStringList{"", a + "/", b + "//"} << ""
            << "ok"
            << "-||" + a + "/|" + b + "//";
        QTest::newRow("folder picked with the chooser") << QStringList() << b << "ok"
                                                        << "-|two|" + b + "|" + Folder("d");
        QTest::newRow("Cancel after typing") << QStringList{"x", a, b} << ""
                                             << "cancel"
                                             << "";
        QTest::newRow("Esc after picking a folder") << QStringList() << b << "esc"
                                                    << "";
        QTest::newRow("close box") << QStringList{"x", a, b} << ""
                                   << "close"
                                   << "";
    }
    void propertiesWritesTheTextsOnOkOnly() {
        QFETCH(QStringList, typed);
        QFETCH(QString, chosenA);
        QFETCH(QString, way);
        QFETCH(QString, expected);
        const Window window;
        Open(window);
        window.SelectRow(1);
        QStringList rowsAfter = Rows(window);
        if (!expected.isEmpty()) {
            rowsAfter[1] = expected;
        }
        if (!chosenA.isEmpty()) {
            window.Prompts().folders.chosen = {chosenA};
        }

        ProfileTexts shownWith;
        const OnModal<TfrmSyncSettings> dialog([&](TfrmSyncSettings& shown) {
            shownWith = shown.Texts();
            if (!typed.isEmpty()) {
                Type(shown, {typed[0], typed[1], typed[2]});
            }
            if (!chosenA.isEmpty()) {
                QTest::mouseClick(shown.findChild<QPushButton*>("cmdSelectDirectoryA"),
                                  Qt::LeftButton);
            }
            Leave(shown, way);
        });
        QVERIFY(window.Trigger("actEditProperties"));

        QCOMPARE(dialog.Shown(), 1);
        QCOMPARE(shownWith, (ProfileTexts{"two", Folder("c"), Folder("d")}));
        QCOMPARE(Rows(window), rowsAfter);
        QCOMPARE(window->IsModified(), !expected.isEmpty());
        QCOMPARE(SelectedIndex(window), 1);
        QCOMPARE(window.Prompts().folders.chooserTitles,
                 chosenA.isEmpty() ? QStringList() : QStringList{"Select directory A:"});
        QVERIFY(window->findChildren<TfrmSyncSettings*>().isEmpty());
    }

    // A refused OK keeps the dialog open with its message; the row waits for a valid one.
    void refusedOkKeepsTheDialogOpen() {
        const Window window;
        Open(window);
        window.SelectRow(0);
        const OnModal<TfrmSyncSettings> dialog([&](TfrmSyncSettings& shown) {
            Type(shown, {"n", Folder("missing"), Folder("b")});
            Leave(shown, "ok");
            QVERIFY(shown.isVisible());
            Type(shown, {"n", Folder("a"), Folder("b")});
            Leave(shown, "ok");
        });
        QVERIFY(window.Trigger("actEditProperties"));
        QCOMPARE(window.Prompts().folders.boxes,
                 QStringList{"Kalvex | Please specify an existing path for Directory A."});
        QCOMPARE(Rows(window).first(), "x|n|" + Folder("a") + "|" + Folder("b"));
        QVERIFY(window->IsModified());
    }

    void movesAtTheEdgesDoNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("selected");
        QTest::newRow("Move Up on the top row") << "actEditMoveUp" << 3 << 0;
        QTest::newRow("Move Down on the bottom row") << "actEditMoveDown" << 3 << 2;
        QTest::newRow("Move Up, the only row") << "actEditMoveUp" << 1 << 0;
        QTest::newRow("Move Down, the only row") << "actEditMoveDown" << 1 << 0;
    }
    void movesAtTheEdgesDoNothing() {
        QFETCH(QString, command);
        QFETCH(int, rows);
        QFETCH(int, selected);
        const Window window;
        Open(window, rows);
        window.SelectRow(selected);
        const QTreeWidgetItem* row = window.SyncList()->topLevelItem(selected);
        const QStringList before = Rows(window);

        QVERIFY(window.Trigger(command));

        QCOMPARE(Rows(window), before);
        QCOMPARE(window.SyncList()->topLevelItem(selected), row);
        QVERIFY(row->isSelected());
        QVERIFY(!window->IsModified());
    }

    void moveCarriesTheRowAlong_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QList<int>>("order");  // rows of the project, afterwards
        QTest::addColumn<int>("expected");      // the moved row's new index
        QTest::newRow("up from the middle") << "actEditMoveUp" << 1 << QList<int>{1, 0, 2} << 0;
        QTest::newRow("up from the bottom") << "actEditMoveUp" << 2 << QList<int>{0, 2, 1} << 1;
        QTest::newRow("down from the top") << "actEditMoveDown" << 0 << QList<int>{1, 0, 2} << 1;
        QTest::newRow("down from the middle") << "actEditMoveDown" << 1 << QList<int>{0, 2, 1} << 2;
    }
    void moveCarriesTheRowAlong() {
        QFETCH(QString, command);
        QFETCH(int, selected);
        QFETCH(QList<int>, order);
        QFETCH(int, expected);
        const Window window;
        Open(window);
        // The check boxes as the user left them, unsaved, go along too.
        window.SyncList()->topLevelItem(1)->setCheckState(0, Qt::Checked);
        window.SyncList()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        const QStringList before = Rows(window);
        window.SelectRow(selected);

        QVERIFY(window.Trigger(command));

        QStringList rowsAfter;
        for (const int index : order) {
            rowsAfter.append(before[index]);
        }
        QCOMPARE(Rows(window), rowsAfter);
        QCOMPARE(SelectedIndex(window), expected);
        QCOMPARE(window.SyncList()->selectedItems().size(), 1);
        QVERIFY(window->IsModified());
        QCOMPARE(EnabledRowCommands(window), kAllRowCommands);
        QVERIFY(window.SyncList()->updatesEnabled());
    }

    void deleteLeavesNoSelection_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("route");
        QTest::newRow("the first row, by the command") << 3 << 0 << "command";
        QTest::newRow("the middle row, by Del in the log list") << 3 << 1 << "key";
        QTest::newRow("the last row, by the pop-up") << 3 << 2 << "pop-up";
        QTest::newRow("the only row") << 1 << 0 << "command";
    }
    void deleteLeavesNoSelection() {
        QFETCH(int, rows);
        QFETCH(int, selected);
        QFETCH(QString, route);
        const Window window;
        Open(window, rows);
        // The row clicked is also the current one, whose removal moves the current row on.
        window.SyncList()->setCurrentItem(window.SyncList()->topLevelItem(selected));
        QStringList rowsAfter = Rows(window);
        rowsAfter.removeAt(selected);

        if (route == "key") {
            window.LogList()->setFocus();
            QTest::keyClick(window.LogList(), Qt::Key_Delete);
        } else if (route == "pop-up") {
            const QAction* target = window.Action("actEditDelete");
            for (QAction* entry : window->findChild<QMenu*>("popEdit")->actions()) {
                if (entry == target) {
                    QVERIFY(Window::Trigger(entry));
                }
            }
        } else {
            QVERIFY(window.Trigger("actEditDelete"));
        }

        QCOMPARE(Rows(window), rowsAfter);
        QCOMPARE(window.SyncList()->selectedItems().size(), 0);
        QCOMPARE(EnabledRowCommands(window), QStringList());
        QVERIFY(window->IsModified());
        QCOMPARE(window.Action("actSyncAll")->isEnabled(), rows > 1);
        QCOMPARE(window.Action("actPreviewAll")->isEnabled(), rows > 1);
        QVERIFY(window.Prompts().saveQuestions == 0 && window.Prompts().errors.isEmpty());
    }

    void doubleClickAndEnterOpenProperties_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<int>("selected");
        QTest::newRow("double-click on a row") << "double-click" << 2;
        QTest::newRow("double-click on the empty area") << "double-click empty" << -1;
        QTest::newRow("Enter in the profile list") << "enter" << 1;
        QTest::newRow("Enter in the log list") << "enter log" << 0;
        QTest::newRow("Enter sent to the list as an event") << "return event" << 1;
        QTest::newRow("Enter, nothing selected") << "enter" << -1;
        QTest::newRow("Enter sent as an event, nothing selected") << "return event" << -1;
    }
    void doubleClickAndEnterOpenProperties() {
        QFETCH(QString, route);
        QFETCH(int, selected);
        const Window window;
        Open(window);
        window->resize(900, 500);
        QTreeWidget* list = window.SyncList();
        QTRY_VERIFY(list->viewport()->height() >
                    4 * list->visualItemRect(list->topLevelItem(0)).height());
        // A double-click chooses its row itself, or clears the selection off the rows.
        window.SelectRow(route.startsWith("double-click") ? 0 : selected);

        ProfileTexts shownWith;
        const OnModal<TfrmSyncSettings> dialog([&](TfrmSyncSettings& shown) {
            shownWith = shown.Texts();
            Leave(shown, "cancel");
        });
        if (route.startsWith("double-click")) {
            const QPoint at = selected >= 0
                                  ? list->visualItemRect(list->topLevelItem(selected)).center()
                                  : QPoint(100, list->viewport()->height() - 3);
            // As a mouse makes it: a click, then the second press reported as a double-click.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        } else if (route == "return event") {
            // Not from the keyboard: the window's shortcut still takes it first.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
            QCoreApplication::sendEvent(list, &press);
        } else {
            QWidget* focus = route == "enter log" ? static_cast<QWidget*>(window.LogList()) : list;
            focus->setFocus();
            QTest::keyClick(focus, Qt::Key_Return);
        }
        QCoreApplication::processEvents();

        QCOMPARE(dialog.Shown(), selected >= 0 ? 1 : 0);
        if (selected >= 0) {
            const QStringList row = Rows(window)[selected].split('|');
            QCOMPARE(shownWith, (ProfileTexts{row[1], row[2], row[3]}));
        }
        QCOMPARE(SelectedIndex(window), selected);
        QVERIFY(!window->IsModified());
    }

    void checkBoxClickDoesNotSetModified() {
        const Window window;
        Open(window);
        QTreeWidget* list = window.SyncList();
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        option.rect = list->visualRect(list->model()->index(1, 0));
        const QRect box =
            list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());

        QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Checked);
        QVERIFY(!window->IsModified());
        window->close();
        QCOMPARE(window.Prompts().saveQuestions, 0);
    }

    void exploreOpensTheRowsFolder_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("folder");    // Directory A or B of the selected row
        QTest::addColumn<QString>("expected");  // the path opened, "" for nothing
        const QString a = Folder("a");
        QTest::newRow("Directory A") << "popEditExploreDirA" << a << a;
        QTest::newRow("Directory B") << "popEditExploreDirB" << Folder("d") << Folder("d");
        QTest::newRow("trailing separator") << "popEditExploreDirA" << a + "/" << a + "/";
        QTest::newRow("missing folder") << "popEditExploreDirB" << Folder("gone") << Folder("gone");
        QTest::newRow("relative: from the current directory")
            << "popEditExploreDirA"
            << "rel/x" << QDir::current().absoluteFilePath("rel/x");
        QTest::newRow("empty folder") << "popEditExploreDirB"
                                      << ""
                                      << "";
    }
    void exploreOpensTheRowsFolder() {
        QFETCH(QString, entry);
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        const Window window;
        Open(window);
        window.SelectRow(1);
        window.SyncList()->topLevelItem(1)->setText(entry.endsWith('A') ? 1 : 2, folder);
        const OnModal<QDialog> anyDialog;

        QVERIFY(Window::Trigger(window->findChild<QAction*>(entry)));
        QCoreApplication::processEvents();

        QCOMPARE(window.Prompts().opener.opened,
                 expected.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(expected)});
        QCOMPARE(anyDialog.Shown(), 0);
        QVERIFY(window.Prompts().errors.isEmpty());
        QCOMPARE(window.Prompts().beeps, 0);
    }

    // With nothing selected no route runs a row command.
    void rowCommandsNeverRunWithoutASelection_data() {
        QTest::addColumn<QString>("entry");
        for (const char* name : {"actEditDelete", "actEditMoveUp", "actEditMoveDown",
                                 "actEditProperties", "actSyncSelected", "actPreviewSelected",
                                 "popEditExploreDirA", "popEditExploreDirB"}) {
            QTest::newRow(name) << name;
        }
    }
    void rowCommandsNeverRunWithoutASelection() {
        QFETCH(QString, entry);
        const Window window;
        Open(window);
        const QStringList before = Rows(window);
        const OnModal<QDialog> anyDialog;

        // A bare trigger on purpose: the entry is disabled, or its handler must find no row.
        window->findChild<QAction*>(entry)->trigger();
        QCoreApplication::processEvents();

        QCOMPARE(Rows(window), before);
        QVERIFY(!window->IsModified());
        QCOMPARE(anyDialog.Shown(), 0);
        QVERIFY(window.Prompts().opener.opened.isEmpty());
        QVERIFY(!window->WorkerAlive());
    }

    void helpOpensThePageBesideTheProgram_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("focus");
        QTest::newRow("missing page, F1 in the log list") << false << "lvLog";
        QTest::newRow("missing page, F1 in the profile list") << false << "lvSyncList";
        QTest::newRow("page beside the program") << true << "lvSyncList";
    }
    void helpOpensThePageBesideTheProgram() {
        QFETCH(bool, present);
        QFETCH(QString, focus);
        const QString page = QDir(QCoreApplication::applicationDirPath()).filePath("help.html");
        QVERIFY2(!QFile::exists(page), "a help page lies beside the test program");
        // Removed again however the test ends.
        const std::unique_ptr<QFile, void (*)(QFile*)> written(present ? new QFile(page) : nullptr,
                                                               [](QFile* file) {
                                                                   file->remove();
                                                                   delete file;
                                                               });
        if (present) {
            QVERIFY(written->open(QIODevice::WriteOnly));
            written->close();
        }
        const Window window;
        Open(window);
        const OnModal<QDialog> anyDialog;
        QWidget* control = window->findChild<QWidget*>(focus);
        control->setFocus();

        QTest::keyClick(control, Qt::Key_F1);
        QCoreApplication::processEvents();

        QCOMPARE(window.Prompts().opener.opened,
                 present ? QList<QUrl>{QUrl::fromLocalFile(page)} : QList<QUrl>());
        QCOMPARE(anyDialog.Shown(), 0);
        QVERIFY(window.Prompts().errors.isEmpty());
        QCOMPARE(window.Prompts().beeps, 0);
    }

    void aboutOpensAndCloses_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("OK") << "ok";
        QTest::newRow("Enter") << "enter";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("close box") << "close";
    }
    void aboutOpensAndCloses() {
        QFETCH(QString, way);
        const Window window;
        Open(window);
        QWidget* owner = nullptr;
        bool stillOpen = false;
        const OnModal<TfrmAbout> about([&](TfrmAbout& shown) {
            owner = shown.parentWidget();
            // The web page goes through the window's opener, never a real browser.
            QTest::mouseClick(shown.findChild<QToolButton*>("sbWebsite"), Qt::LeftButton);
            stillOpen = shown.isVisible();
            Leave(shown, way);
            QVERIFY(!shown.isVisible());
        });

        QVERIFY(window.Trigger("actHelpAbout"));

        QCOMPARE(about.Shown(), 1);
        QCOMPARE(owner, &*window);
        QVERIFY(stillOpen);
        QCOMPARE(window.Prompts().opener.opened, QList<QUrl>{QUrl(kWebsite)});
        QVERIFY(window->findChildren<TfrmAbout*>().isEmpty());
    }

    // Editing during a run never enables Synchronize Selected or Preview Selected; the run's
    // end does.
    void editingDuringARunKeepsSyncSelectedDisabled() {
        test::RunSandbox sandbox;
        const Window window;
        const QString project = sandbox.Path("run.kvx");
        QVERIFY(test::WriteProject(project, {sandbox.MakeProfile("first", {}, {}),
                                             sandbox.MakeProfile("second", {}, {})}));
        window->FormCreate({project});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        QAction* selected = window.Action("actSyncSelected");
        QAction* all = window.Action("actSyncAll");
        QVERIFY(Window::Trigger(all));
        // The engine asks about the missing previous log file: the run waits.
        QTRY_COMPARE(window.Prompts().openEngineBoxes.size(), 1);

        window.SelectRow(1);
        QVERIFY(!selected->isEnabled());
        QVERIFY(window.Trigger("actEditMoveUp"));
        QVERIFY(!selected->isEnabled());
        const OnModal<TfrmSyncSettings> dialog([&](TfrmSyncSettings& shown) {
            Type(shown, {"added", sandbox.Path("first/A"), sandbox.Path("first/B")});
            Leave(shown, "ok");
        });
        QVERIFY(window.Trigger("actEditAdd"));
        QCOMPARE(dialog.Shown(), 1);
        QCOMPARE(window.ProfileNames(), (QStringList{"added", "second", "first"}));
        QVERIFY(!selected->isEnabled() && !all->isEnabled());
        QVERIFY(!window.Action("actPreviewSelected")->isEnabled());
        QVERIFY(!window.Action("actPreviewAll")->isEnabled());
        QCOMPARE(EnabledRowCommands(window),
                 (QStringList{"actEditDelete", "actEditMoveUp", "actEditMoveDown",
                              "actEditProperties", "popEditExplore"}));

        window.Prompts().AnswerOldest(Answer::No);
        QVERIFY(window.WaitForRunEnd());
        QVERIFY(selected->isEnabled() && all->isEnabled());
        QVERIFY(window.Action("actPreviewSelected")->isEnabled());
        QVERIFY(window.Action("actPreviewAll")->isEnabled());
    }

    // A folder that filled the project reader's buffer keeps its profile from running through
    // a move and an OK without changes, until the user types the texts again.
    void profileThatMayBeCutRunsOnlyOnceRetyped() {
        test::RunSandbox sandbox;
        const Window window;
        window.Prompts().autoAnswer = Answer::Yes;
        Profile cut = sandbox.MakeProfile("cut", {}, {});
        const QString shortA = cut.DirA;
        while (cut.DirA.size() < 2100) {
            cut.DirA += "/.";  // still the same folder, after a cut too
        }
        const QString project = sandbox.Path("cut.kvx");
        QVERIFY(test::WriteProject(project, {sandbox.MakeProfile("first", {}, {}), cut}));
        window->FormCreate({project});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        const QString refusal =
            "The profile \"cut\" was not run: its name or a folder in the "
            "project file is 2047 bytes or longer and may have been cut.";
        const auto runShows = [&window] {
            window.Prompts().shownEngineMessages.clear();
            if (!window.Trigger("actSyncAll")) {
                return QStringList{"(not started)"};
            }
            return window.WaitForRunEnd() ? window.Prompts().shownEngineMessages
                                          : QStringList{"(no end)"};
        };

        window.SelectRow(1);
        QVERIFY(window.Trigger("actEditMoveUp"));
        QCOMPARE(runShows(), QStringList{refusal});
        {
            const OnModal<TfrmSyncSettings> unchanged(
                [](TfrmSyncSettings& shown) { Leave(shown, "ok"); });
            QVERIFY(window.Trigger("actEditProperties"));
            QCOMPARE(unchanged.Shown(), 1);
        }
        QCOMPARE(runShows(), QStringList{refusal});
        QVERIFY(!QFile::exists(shortA + "/kvx_cut.log"));

        const OnModal<TfrmSyncSettings> retyped([&](TfrmSyncSettings& shown) {
            Type(shown, {"cut", shortA, cut.DirB});
            Leave(shown, "ok");
        });
        QVERIFY(window.Trigger("actEditProperties"));
        QCOMPARE(retyped.Shown(), 1);
        QVERIFY(!runShows().contains(refusal));
        QVERIFY(QFile::exists(shortA + "/kvx_cut.log"));
    }
};

KALVEX_GUI_TEST(TestProfileEditing);

#include "TestProfileEditing.moc"
