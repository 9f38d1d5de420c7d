#include "GuiTest.h"
#include "RunFixture.h"
#include "Sandbox.h"
#include "TestEnvironment.h"
#include "Window.h"
#include "forms/StatusBar.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace kalvex;
using kalvex::test::Node;
using kalvex::test::Window;

namespace {

// "path@seconds" for a file, "path/" for a folder.
std::vector<Node> Nodes(const QStringList& compact) {
    std::vector<Node> nodes;
    for (const QString& text : compact) {
        if (text.endsWith('/')) {
            nodes.emplace_back(text);
        } else {
            nodes.emplace_back(text.section('@', 0, 0), text.toUtf8(),
                               text.section('@', 1).toInt());
        }
    }
    return nodes;
}

// Replaces each {T<seconds>} by the time text of that stamp.
QStringList WithTimes(QStringList rows) {
    static const QRegularExpression stamp("\\{T(\\d+)\\}");
    for (QString& row : rows) {
        QRegularExpressionMatch match;
        while ((match = stamp.match(row)).hasMatch()) {
            row.replace(match.capturedStart(), match.capturedLength(),
                        test::TimeText(match.captured(1).toInt()));
        }
    }
    return rows;
}

const QString kDone = "Done.||||-1|-1";

QString Header(const QString& name) {
    return "Synchronizing " + name + ":||||-1|-1";
}

QString PreviewHeader(const QString& name) {
    return "Preview of " + name + ":||||-1|-1";
}

// The run commands that are enabled now, by name.
QStringList EnabledRunCommands(const Window& window) {
    QStringList enabled;
    for (const char* name :
         {"actSyncAll", "actPreviewAll", "actSyncSelected", "actPreviewSelected", "actSyncAbort"}) {
        if (window.Action(name)->isEnabled()) {
            enabled.append(name);
        }
    }
    return enabled;
}

// The rows of the tests that end a run with a row selected, or with none.
void AddSelectedAtTheEndRows() {
    QTest::addColumn<int>("selectedAtTheEnd");
    QTest::newRow("a row selected") << 1;
    QTest::newRow("no row selected") << -1;
}

// Shows the window and waits until it is on the screen.
bool Shown(const Window& window) {
    window->show();
    return QTest::qWaitForWindowExposed(&*window);
}

// Both folders of every profile, their log files and the project file; the trash; the
// settings.
QStringList DiskState(const test::RunSandbox& sandbox, const Window& window) {
    using test::Snapshot;
    using test::Times;
    return Snapshot(sandbox.Path(""), Times::ModificationAndChange) +
           Snapshot(test::PrivateHome::Path() + "/.local/share/Trash",
                    Times::ModificationAndChange) +
           Snapshot(QFileInfo(window.SettingsPath()).path(), Times::ModificationAndChange);
}

// The texts of the engine's boxes shown so far that were not questions.
QStringList ErrorsShown(const test::ScriptedPrompts& prompts) {
    QStringList errors;
    for (int index = 0; index < prompts.shownEngineMessages.size(); ++index) {
        if (prompts.shownEngineKinds.at(index) == MessageKind::Error) {
            errors.append(prompts.shownEngineMessages.at(index));
        }
    }
    return errors;
}

}  // namespace

class TestRuns final : public QObject {
    Q_OBJECT

private:
    int m_profiles = 0;

    // A fresh project in the sandbox with the given profiles, opened in the window.
    void Open(const Window& window, test::RunSandbox& sandbox, const QList<Profile>& profiles) {
        const QString project = sandbox.Path(QString("p%1.kvx").arg(++m_profiles));
        QVERIFY(test::WriteProject(project, profiles));
        window->FormCreate({project});
        QCOMPARE(window.ProfileNames().size(), profiles.size());
    }

private Q_SLOTS:
    void rowsOfARun_data() {
        QTest::addColumn<QStringList>("a");
        QTest::addColumn<QStringList>("b");
        QTest::addColumn<QString>("removeAfterFirstRun");  // empty: only one run
        QTest::addColumn<QStringList>("rows");             // action rows of the (last) run
        QTest::newRow("file only in A is copied to B")
            << QStringList{"f.txt@0"} << QStringList{} << "" << QStringList{"f.txt|{T0}|>>|-|1|1"};
        QTest::newRow("file only in B is copied back in the second pass")
            << QStringList{} << QStringList{"f.txt@10"} << ""
            << QStringList{"f.txt|-|<<|{T10}|1|1"};
        QTest::newRow("folder only in A is copied whole")
            << QStringList{"d/", "d/x.txt@0"} << QStringList{} << "" << QStringList{"d|*|>>|-|0|1"};
        QTest::newRow("newer in B replaces A") << QStringList{"f.txt@0"} << QStringList{"f.txt@100"}
                                               << "" << QStringList{"f.txt|{T0}|<|{T100}|1|1"};
        QTest::newRow("newer in A replaces B") << QStringList{"f.txt@100"} << QStringList{"f.txt@0"}
                                               << "" << QStringList{"f.txt|{T100}|>|{T0}|1|1"};
        QTest::newRow("equal files show nothing")
            << QStringList{"f.txt@0"} << QStringList{"f.txt@0"} << "" << QStringList{};
        QTest::newRow("file in a common folder")
            << QStringList{"s/", "s/n.txt@4"} << QStringList{"s/"} << ""
            << QStringList{"s\\n.txt|{T4}|>>|-|1|1"};
        QTest::newRow("file deleted in B is deleted in A")
            << QStringList{"f.txt@0", "g.txt@0"} << QStringList{"f.txt@0", "g.txt@0"} << "B/f.txt"
            << QStringList{"f.txt|{T0}|X-|-|3|1"};
        QTest::newRow("folder deleted in A is deleted in B")
            << QStringList{"d/"} << QStringList{"d/"} << "A/d" << QStringList{"d|-|-X|*|2|1"};
    }
    void rowsOfARun() {
        QFETCH(QStringList, a);
        QFETCH(QStringList, b);
        QFETCH(QString, removeAfterFirstRun);
        QFETCH(QStringList, rows);
        test::RunSandbox sandbox;
        const Profile profile = sandbox.MakeProfile("P", Nodes(a), Nodes(b));
        const Window window;
        window.Prompts().autoAnswer = Answer::Yes;
        Open(window, sandbox, {profile});
        QVERIFY(window.Trigger("actSyncAll"));
        QVERIFY(window.WaitForRunEnd());
        if (!removeAfterFirstRun.isEmpty()) {
            const QString path = sandbox.Path("P/" + removeAfterFirstRun);
            QVERIFY(QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path));
            QVERIFY(window.Trigger("actSyncAll"));
            QVERIFY(window.WaitForRunEnd());
        }
        QStringList expected = {Header("P")};
        expected += WithTimes(rows);
        expected.append(kDone);
        QCOMPARE(window.LogRows(), expected);
    }

    // Preview All shows the rows of the Synchronize All that follows it, and changes nothing.
    void previewShowsTheRunThatFollows_data() {
        QTest::addColumn<QStringList>("a");
        QTest::addColumn<QStringList>("b");
        QTest::addColumn<QStringList>("removeAfterFirstRun");  // empty: no run, so no log
        QTest::addColumn<QStringList>("rows");  // action rows of the preview and of the run
        QTest::addColumn<bool>("warns");        // a side is empty: the run would ask first
        QTest::addColumn<int>("errors");        // error boxes of the preview, as of the run
        QTest::newRow("no log: new, newer and older files on both sides")
            << QStringList{"new_a@0", "newer_a@100", "older_a@0", "same@0"}
            << QStringList{"new_b@10", "newer_a@0", "older_a@100", "same@0"} << QStringList{}
            << QStringList{"newer_a|{T100}|>|{T0}|1|1", "new_a|{T0}|>>|-|1|1",
                           "older_a|{T0}|<|{T100}|1|1", "new_b|-|<<|{T10}|1|1"}
            << false << 0;
        QTest::newRow("deletions on both sides")
            << QStringList{"kept@0", "gone_a@0", "gone_b@0", "d/", "d/x@0"}
            << QStringList{"kept@0", "gone_a@0", "gone_b@0", "d/", "d/x@0"}
            << QStringList{"A/gone_a", "B/gone_b", "B/d"}
            << QStringList{"d|*|X-|-|2|1", "gone_b|{T0}|X-|-|3|1", "gone_a|-|-X|{T0}|3|1"} << false
            << 0;
        QTest::newRow("a folder new on each side")
            << QStringList{"da/", "da/sub/", "da/sub/x@0"} << QStringList{"db/", "db/y@2"}
            << QStringList{} << QStringList{"da|*|>>|-|0|1", "db|-|<<|*|0|1"} << false << 0;
        QTest::newRow("a kind conflict")
            << QStringList{"clash@0", "f@0"} << QStringList{"clash/"} << QStringList{}
            << QStringList{"f|{T0}|>>|-|1|1"} << false << 2;
        QTest::newRow("an empty side")
            << QStringList{"f@0", "d/", "d/g@0"} << QStringList{"f@0", "d/", "d/g@0"}
            << QStringList{"B/f", "B/d"} << QStringList{"d|*|X-|-|2|1", "f|{T0}|X-|-|3|1"} << true
            << 0;
    }
    void previewShowsTheRunThatFollows() {
        QFETCH(QStringList, a);
        QFETCH(QStringList, b);
        QFETCH(QStringList, removeAfterFirstRun);
        QFETCH(QStringList, rows);
        QFETCH(bool, warns);
        QFETCH(int, errors);
        test::RunSandbox sandbox;
        const Window window;
        window.Prompts().autoAnswer = Answer::Yes;
        Open(window, sandbox, {sandbox.MakeProfile("P", Nodes(a), Nodes(b))});
        if (!removeAfterFirstRun.isEmpty()) {
            QVERIFY(window.Trigger("actSyncAll"));
            QVERIFY(window.WaitForRunEnd());
            for (const QString& relative : std::as_const(removeAfterFirstRun)) {
                const QString path = sandbox.Path("P/" + relative);
                QVERIFY(QFileInfo(path).isDir() ? QDir(path).removeRecursively()
                                                : QFile::remove(path));
            }
        }
        window.Prompts().shownEngineMessages.clear();
        window.Prompts().shownEngineKinds.clear();
        const QString title = window->windowTitle();
        const QStringList before = DiskState(sandbox, window);

        QVERIFY(window.Trigger("actPreviewAll"));
        QVERIFY(window.WaitForRunEnd());
        QCOMPARE(DiskState(sandbox, window), before);
        QCOMPARE(window->windowTitle(), title);
        QVERIFY(!window->IsModified());
        QVERIFY2(!window.Prompts().shownEngineKinds.contains(MessageKind::Question),
                 "a preview asks nothing");
        const QStringList previewErrors = ErrorsShown(window.Prompts());
        QCOMPARE(previewErrors.size(), errors);
        QStringList previewed = window.LogRows();
        QVERIFY(previewed.size() >= 2);
        QCOMPARE(previewed.takeFirst(), PreviewHeader("P"));
        QCOMPARE(previewed.takeLast(), kDone);
        if (warns) {
            const QString warning = previewed.isEmpty() ? QString() : previewed.takeLast();
            QVERIFY2(warning.startsWith("Warning: the folder ") && warning.endsWith("||||-1|-1"),
                     qPrintable(warning));
        }
        const QStringList expected = WithTimes(rows);
        QCOMPARE(previewed, expected);

        window.Prompts().shownEngineMessages.clear();
        window.Prompts().shownEngineKinds.clear();
        QVERIFY(window.Trigger("actSyncAll"));
        QVERIFY(window.WaitForRunEnd());
        QCOMPARE(window.LogRows(), QStringList{Header("P")} + expected + QStringList{kDone});
        QCOMPARE(ErrorsShown(window.Prompts()), previewErrors);
        QVERIFY(DiskState(sandbox, window) != before);
    }

    // Preview Selected by its key and by the pop-up: the selected profile only, checked or not.
    void previewSelectedShowsOnlyThatProfile_data() {
        QTest::addColumn<QString>("route");
        QTest::newRow("Shift+F4") << "key";
        QTest::newRow("pop-up") << "pop-up";
    }
    void previewSelectedShowsOnlyThatProfile() {
        QFETCH(QString, route);
        test::RunSandbox sandbox;
        const Window window;
        Open(window, sandbox,
             {sandbox.MakeProfile("one", Nodes({"a.txt@0"}), {}),
              sandbox.MakeProfile("two", Nodes({"b.txt@0"}), {}, false)});
        QVERIFY(Shown(window));
        window.SelectRow(1);
        const QStringList before = DiskState(sandbox, window);
        if (route == "key") {
            QTest::keyClick(window.LogList(), Qt::Key_F4, Qt::ShiftModifier);
        } else {
            QVERIFY(Window::Trigger(
                window->findChild<QMenu*>("popEdit")->findChild<QAction*>("popPreviewSelected")));
        }
        QVERIFY(window.WaitForRunEnd());
        QCOMPARE(window.LogRows(), WithTimes({PreviewHeader("two"), "b.txt|{T0}|>>|-|1|1", kDone}));
        QCOMPARE(DiskState(sandbox, window), before);
        QCOMPARE(window.Prompts().shownEngineMessages, QStringList());
    }

    // While a preview runs it holds the commands as a run does, and the status bar says
    // "Preview"; the run that follows says nothing of the kind.
    void enabledStatesThroughAPreview_data() { AddSelectedAtTheEndRows(); }
    void enabledStatesThroughAPreview() {
        QFETCH(int, selectedAtTheEnd);
        test::RunSandbox sandbox;
        const Window window;
        // The kind conflict holds the preview at its error box.
        Open(window, sandbox,
             {sandbox.MakeProfile("Pictures", Nodes({"clash@0", "d1/"}), Nodes({"clash/"})),
              sandbox.MakeProfile("two", {}, {})});
        QVERIFY(Shown(window));
        const QString title = window->windowTitle();
        window.SelectRow(0);
        const QStringList idle = {"actSyncAll", "actPreviewAll", "actSyncSelected",
                                  "actPreviewSelected"};
        QCOMPARE(EnabledRunCommands(window), idle);

        QVERIFY(window.Trigger("actPreviewAll"));
        QCOMPARE(EnabledRunCommands(window), QStringList{"actSyncAbort"});
        QVERIFY(!window.StatusBar()->SimplePanel());
        QVERIFY(window.Progress()->isVisible());
        QVERIFY(window.Progress()->isTextVisible());
        QCOMPARE(window.Progress()->text(), QString("Preview"));
        QTRY_COMPARE(window.Prompts().openEngineBoxes.size(), 1);
        QCOMPARE(window.Prompts().openEngineBoxes.first().message.kind, MessageKind::Error);
        QCOMPARE(window.StatusBar()->PanelText(1), QString("Pictures:"));
        QCOMPARE(window.Progress()->maximum(), 2);
        QTRY_COMPARE(window.LogRows(), QStringList{PreviewHeader("Pictures")});
        QCOMPARE(window.Progress()->text(), QString("Preview"));
        window.SelectRow(selectedAtTheEnd);
        window->UpdateCommands();
        QCOMPARE(EnabledRunCommands(window), QStringList{"actSyncAbort"});
        // Bare triggers on purpose: the disabled commands must ignore them.
        window.Action("actPreviewSelected")->trigger();
        window.Action("actSyncAll")->trigger();
        QVERIFY(window->WorkerAlive());

        // The second pass meets the conflict again: that box is answered as it comes.
        window.Prompts().autoAnswer = Answer::Ok;
        window.Prompts().AnswerOldest(Answer::Ok);
        QVERIFY(window.WaitForRunEnd());
        window.Prompts().autoAnswer.reset();
        const QStringList atTheEnd = {"actSyncAll", "actPreviewAll"};
        QCOMPARE(EnabledRunCommands(window), selectedAtTheEnd >= 0 ? idle : atTheEnd);
        QVERIFY(window.StatusBar()->SimplePanel());
        QCOMPARE(window.StatusBar()->SimpleText(), QString());
        QCOMPARE(window.StatusBar()->PanelText(1), QString());
        QVERIFY(window.Progress()->isHidden());
        QCOMPARE(window->windowTitle(), title);
        QVERIFY(!window->IsModified());
        QCOMPARE(window.LogRows().first(), PreviewHeader("Pictures"));
        QCOMPARE(window.LogRows().last(), kDone);

        // The run's question about the missing log holds it.
        QVERIFY(window.Trigger("actSyncAll"));
        QVERIFY(window.Progress()->isVisible());
        QVERIFY(!window.Progress()->isTextVisible());
        QTRY_COMPARE(window.Prompts().openEngineBoxes.size(), 1);
        QTRY_COMPARE(window.LogRows(), QStringList{Header("Pictures")});
        window.Prompts().AnswerOldest(Answer::No);
        QVERIFY(window.WaitForRunEnd());
    }

    void abortStopsAPreview() {
        test::RunSandbox sandbox;
        const Window window;
        Open(window, sandbox,
             {sandbox.MakeProfile("one", Nodes({"a.txt@0", "b.txt@0"}), {}),
              sandbox.MakeProfile("two", Nodes({"x.txt@0"}), {})});
        QVERIFY(Shown(window));
        const QStringList before = DiskState(sandbox, window);
        QVERIFY(window.Trigger("actPreviewAll"));
        // No hand-off has been served yet: the worker has not reached the first file.
        QTest::keyClick(window.LogList(), Qt::Key_Escape);
        QVERIFY(window.WaitForRunEnd());
        QCOMPARE(window.LogRows(), (QStringList{PreviewHeader("one"), kDone}));
        QCOMPARE(DiskState(sandbox, window), before);
        QCOMPARE(window.Prompts().shownEngineMessages, QStringList());
    }

    void checkedProfilesRunTopToBottom() {
        test::RunSandbox sandbox;
        const Window window;
        window.Prompts().autoAnswer = Answer::Yes;
        Open(window, sandbox,
             {sandbox.MakeProfile("first", Nodes({"a.txt@0"}), {}),
              sandbox.MakeProfile("skipped", Nodes({"s.txt@0"}), {}, false),
              sandbox.MakeProfile("last", {}, Nodes({"z.txt@2"}))});
        QVERIFY(Shown(window));
        QVERIFY(window.Trigger("actSyncAll"));
        QVERIFY(window.WaitForRunEnd());
        QCOMPARE(window.LogRows(), WithTimes({Header("first"), "a.txt|{T0}|>>|-|1|1",
                                              Header("last"), "z.txt|-|<<|{T2}|1|1", kDone}));
        // Every row is as high as an image, though the first row has none.
        const QTreeView* log = window.LogList();
        QVERIFY(log->visualRect(log->model()->index(1, 0)).height() >= 16);
        QCOMPARE(sandbox.Describe("skipped/B"), QStringList());
    }

    void synchronizeSelectedRunsOnlyThatProfile() {
        test::RunSandbox sandbox;
        const Window window;
        window.Prompts().autoAnswer = Answer::Yes;
        Open(window, sandbox,
             {sandbox.MakeProfile("one", Nodes({"a.txt@0"}), {}),
              sandbox.MakeProfile("two", Nodes({"b.txt@0"}), {}, false)});
        QVERIFY(Shown(window));
        window.SelectRow(1);
        QTest::keyClick(window.LogList(), Qt::Key_F4);
        QVERIFY(window.WaitForRunEnd());
        QCOMPARE(window.LogRows(), WithTimes({Header("two"), "b.txt|{T0}|>>|-|1|1", kDone}));
    }

    // Idle, running while the engine's question is open, idle again.
    void enabledStatesThroughARun_data() { AddSelectedAtTheEndRows(); }
    void enabledStatesThroughARun() {
        QFETCH(int, selectedAtTheEnd);
        test::RunSandbox sandbox;
        const Window window;
        Open(window, sandbox,
             {sandbox.MakeProfile("Pictures", Nodes({"d1/", "d2/"}), Nodes({"d3/"})),
              sandbox.MakeProfile("two", {}, {})});
        QVERIFY(Shown(window));
        QAction* abort = window.Action("actSyncAbort");
        QAction* all = window.Action("actSyncAll");
        QAction* selected = window.Action("actSyncSelected");
        window.SelectRow(0);
        QVERIFY(all->isEnabled() && selected->isEnabled() && !abort->isEnabled());

        QVERIFY(Window::Trigger(all));
        QVERIFY(abort->isEnabled() && !all->isEnabled() && !selected->isEnabled());
        QCOMPARE(EnabledRunCommands(window), QStringList{"actSyncAbort"});
        QVERIFY(!window.StatusBar()->SimplePanel());
        QVERIFY(window.Progress()->isVisible());
        QVERIFY(!window.Progress()->isTextVisible());
        QTRY_COMPARE(window.Prompts().openEngineBoxes.size(), 1);
        // The question is open and the window still takes commands.
        QCOMPARE(window.StatusBar()->PanelText(1), QString("Pictures:"));
        QCOMPARE(window.StatusBar()->PanelWidth(1),
                 window.StatusBar()->fontMetrics().horizontalAdvance("Pictures:") + 10);
        QCOMPARE(window.Progress()->maximum(), 3);
        QCOMPARE(window.Progress()->value(), 0);
        window.SelectRow(selectedAtTheEnd);
        window->UpdateCommands();
        QVERIFY(!selected->isEnabled() && !all->isEnabled());
        QCOMPARE(EnabledRunCommands(window), QStringList{"actSyncAbort"});
        // Bare triggers on purpose: the disabled commands must ignore them.
        selected->trigger();
        all->trigger();
        window.Action("actPreviewAll")->trigger();
        QVERIFY(window->WorkerAlive());

        window.Prompts().AnswerOldest(Answer::Yes);
        QTRY_COMPARE(window.Prompts().openEngineBoxes.size(), 1);
        window.Prompts().AnswerOldest(Answer::Yes);
        QVERIFY(window.WaitForRunEnd());
        QVERIFY(!abort->isEnabled() && all->isEnabled());
        QCOMPARE(selected->isEnabled(), selectedAtTheEnd >= 0);
        const QStringList idle = {"actSyncAll", "actPreviewAll", "actSyncSelected",
                                  "actPreviewSelected"};
        const QStringList withoutSelection = {"actSyncAll", "actPreviewAll"};
        QCOMPARE(EnabledRunCommands(window), selectedAtTheEnd >= 0 ? idle : withoutSelection);
        QVERIFY(window.StatusBar()->SimplePanel());
        QCOMPARE(window.StatusBar()->SimpleText(), QString());
        QCOMPARE(window.StatusBar()->PanelText(1), QString());
        QVERIFY(window.Progress()->isHidden());
        QCOMPARE(window.Progress()->value(), 0);
        QCOMPARE(window.LogRows().last(), kDone);
    }

    void progressBarLiesOverPanelZero() {
        const Window window;
        window->FormCreate({});
        QVERIFY(Shown(window));
        for (const QSize size : {QSize(900, 600), QSize(640, 480)}) {
            window->resize(size);
            QCoreApplication::processEvents();
            const QRect bar = window.StatusBar()->geometry();
            QTRY_COMPARE(window.Progress()->geometry(),
                         QRect(bar.left(), bar.top() + 2, 200, bar.height() - 2));
        }
    }

    void abortStopsAtTheNextFile() {
        test::RunSandbox sandbox;
        const Window window;
        Open(window, sandbox,
             {sandbox.MakeProfile("one", Nodes({"a.txt@0", "b.txt@0", "c.txt@0"}), {}),
              sandbox.MakeProfile("two", Nodes({"x.txt@0"}), {})});
        const QStringList aBefore = sandbox.Describe("one/A");
        QVERIFY(Shown(window));
        QVERIFY(window.Trigger("actSyncAll"));
        QTRY_COMPARE(window.Prompts().openEngineBoxes.size(), 1);
        // Esc reaches Abort while the question is open.
        QTest::keyClick(window.LogList(), Qt::Key_Escape);
        window.Prompts().AnswerOldest(Answer::Yes);
        QVERIFY(window.WaitForRunEnd());
        QCOMPARE(window.LogRows(), (QStringList{Header("one"), kDone}));
        QCOMPARE(sandbox.Describe("one/B"), QStringList());
        QCOMPARE(sandbox.Describe("one/A"), aBefore);  // no new log file either
        QCOMPARE(sandbox.Describe("two/B"), QStringList());
        QCOMPARE(window.Prompts().shownEngineMessages.size(), 1);
    }

    void closeIsRefusedDuringARun() {
        test::RunSandbox sandbox;
        const Window window;
        Open(window, sandbox, {sandbox.MakeProfile("one", Nodes({"a.txt@0"}), {})});
        QVERIFY(Shown(window));
        QVERIFY(window.Trigger("actSyncAll"));
        QTRY_COMPARE(window.Prompts().openEngineBoxes.size(), 1);
        window->SetModified(true);
        window.Prompts().saveAnswers = {TPrompts::SaveAnswer::No, TPrompts::SaveAnswer::No};

        QVERIFY(!window->close());
        QVERIFY(window.Trigger("actFileExit"));
        QVERIFY(window->isVisible());
        QCOMPARE(window.Prompts().beeps, 2);
        QCOMPARE(window.Prompts().saveQuestions, 2);
        QVERIFY(window.Stored("UI/WindowState").isValid());

        window.Prompts().AnswerOldest(Answer::Yes);
        QVERIFY(window.WaitForRunEnd());
        window.Prompts().saveAnswers = {TPrompts::SaveAnswer::No};
        QVERIFY(window->close());
        QCOMPARE(window.Prompts().beeps, 2);
    }

    // A signal or the session's end during a run: the open question is answered, the worker
    // ends, and only then may the program quit.
    void quitWhenIdleDuringARun_data() {
        QTest::addColumn<bool>("questionOpen");
        QTest::newRow("while the question is open") << true;
        QTest::newRow("before the question comes") << false;
    }
    void quitWhenIdleDuringARun() {
        QFETCH(bool, questionOpen);
        test::RunSandbox sandbox;
        const Window window;
        Open(window, sandbox, {sandbox.MakeProfile("one", Nodes({"a.txt@0"}), {})});
        QSignalSpy ready(&*window, &TfrmMain::ReadyToQuit);
        QVERIFY(window.Trigger("actSyncAll"));
        if (questionOpen) {
            QTRY_COMPARE(window.Prompts().openEngineBoxes.size(), 1);
        }
        // Without the wait no hand-off has been served yet: the worker has not reached it.
        window->QuitWhenIdle();
        QCOMPARE(ready.count(), 0);
        QCOMPARE(window.Prompts().closedEngineMessages, 1);
        QVERIFY(window.WaitForRunEnd());
        QTRY_COMPARE(ready.count(), 1);
        QCOMPARE(window.LogRows(), (QStringList{Header("one"), kDone}));
        QCOMPARE(sandbox.Describe("one/B"), QStringList());
        // A question that comes after the request is answered without being shown.
        QCOMPARE(window.Prompts().shownEngineMessages.size(), questionOpen ? 1 : 0);
    }

    void quitWhenIdleWithoutARunIsAtOnce() {
        const Window window;
        window->FormCreate({});
        QSignalSpy ready(&*window, &TfrmMain::ReadyToQuit);
        window->QuitWhenIdle();
        QCOMPARE(ready.count(), 1);
    }

    void noCheckedProfileShowsOnlyDone() {
        test::RunSandbox sandbox;
        const Window window;
        Open(window, sandbox, {sandbox.MakeProfile("off", Nodes({"a.txt@0"}), {}, false)});
        QVERIFY(window.Trigger("actSyncAll"));
        QVERIFY(window.WaitForRunEnd());
        QCOMPARE(window.LogRows(), QStringList{kDone});
        QCOMPARE(window.Prompts().shownEngineMessages.size(), 0);
    }

    void missingFolderEndsTheRun() {
        test::RunSandbox sandbox;
        const Window window;
        window.Prompts().autoAnswer = Answer::Ok;
        Profile broken = sandbox.MakeProfile("broken", {}, {});
        broken.DirB = sandbox.Path("nowhere");
        Open(window, sandbox, {broken, sandbox.MakeProfile("after", Nodes({"a.txt@0"}), {})});
        QVERIFY(window.Trigger("actSyncAll"));
        QVERIFY(window.WaitForRunEnd());
        QCOMPARE(window.LogRows(), QStringList{kDone});
        QCOMPARE(window.Prompts().shownEngineMessages.size(), 1);
        QCOMPARE(sandbox.Describe("after/B"), QStringList());
    }
};

KALVEX_GUI_TEST(TestRuns);

#include "TestRuns.moc"
