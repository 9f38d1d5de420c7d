#include "GuiTest.h"
#include "RunFixture.h"
#include "Window.h"

#include <QAction>
#include <QDir>
#include <QScopeGuard>
#include <QTest>

using namespace kalvex;
using kalvex::test::Window;

class TestStartup final : public QObject {
    Q_OBJECT

private:
    test::RunSandbox m_sandbox;
    QString m_a;
    QString m_b;
    QString m_unchecked;

private Q_SLOTS:
    void initTestCase() {
        m_a = m_sandbox.Path("a.kvx");
        m_b = m_sandbox.Path("b.kvx");
        m_unchecked = m_sandbox.Path("unchecked.kvx");
        const Profile one = m_sandbox.MakeProfile("one", {{"f.txt", "1"}}, {{"f.txt", "1"}});
        Profile off = one;
        off.Checked = false;
        QVERIFY(test::WriteProject(m_a, {one}));
        QVERIFY(test::WriteProject(m_b, {one, one}));
        QVERIFY(test::WriteProject(m_unchecked, {off}));
    }

    // {a}, {b}, {unchecked}, {missing}: project paths; "default" names the default project.
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("defaultProject");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("profiles");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<int>("logRows");  // header rows of the profiles run, then "Done."
        QTest::newRow("nothing") << QStringList{} << ""
                                 << "(Untitled) - Kalvex" << 0 << 0 << false << 0;
        QTest::newRow("the default project") << QStringList{} << "{b}"
                                             << "b.kvx - Kalvex" << 2 << 0 << false << 0;
        QTest::newRow("a path beats the default") << QStringList{"{a}"} << "{b}"
                                                  << "a.kvx - Kalvex" << 1 << 0 << false << 0;
        QTest::newRow("the first of two paths") << QStringList{"{a}", "{b}"} << ""
                                                << "a.kvx - Kalvex" << 1 << 0 << false << 0;
        QTest::newRow("/SYNC before the path runs it") << QStringList{"/SYNC", "{a}"} << ""
                                                       << "a.kvx - Kalvex" << 1 << 0 << true << 2;
        QTest::newRow("/sync in lower case") << QStringList{"/sync", "{a}"} << ""
                                             << "a.kvx - Kalvex" << 1 << 0 << true << 2;
        QTest::newRow("/SYNC after the path does not run")
            << QStringList{"{a}", "/SYNC"} << ""
            << "a.kvx - Kalvex" << 1 << 0 << false << 0;
        QTest::newRow("/Sync and /Silent run the default project")
            << QStringList{"/Sync", "/Silent"} << "{b}"
            << "b.kvx - Kalvex" << 2 << 0 << true << 3;
        QTest::newRow("an unknown switch is a missing path")
            << QStringList{"/FAST"} << "{b}"
            << "(Untitled) - Kalvex" << 0 << 1 << false << 0;
        QTest::newRow("a missing default project") << QStringList{"/SYNC"} << "{missing}"
                                                   << "(Untitled) - Kalvex" << 0 << 1 << false << 0;
        QTest::newRow("/SYNC with every profile unchecked")
            << QStringList{"/SYNC", "{unchecked}"} << ""
            << "unchecked.kvx - Kalvex" << 1 << 0 << true << 1;
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, defaultProject);
        QFETCH(QString, caption);
        QFETCH(int, profiles);
        QFETCH(int, beeps);
        QFETCH(bool, runs);
        QFETCH(int, logRows);
        const auto expand = [this](QString text) {
            return text.replace("{a}", m_a)
                .replace("{b}", m_b)
                .replace("{unchecked}", m_unchecked)
                .replace("{missing}", m_sandbox.Path("missing.kvx"));
        };
        for (QString& argument : arguments) {
            argument = expand(argument);
        }
        const Window window;
        if (!defaultProject.isEmpty()) {
            window.Store("General/DefaultProject", expand(defaultProject));
        }
        window.Prompts().autoAnswer = Answer::Yes;
        window->FormCreate(arguments);
        // The run starts before the window is first shown.
        QCOMPARE(window->RunInProgress(), runs);
        window->ShowRestored();
        QCOMPARE(window->windowTitle(), caption);
        QCOMPARE(window.ProfileNames().size(), profiles);
        QCOMPARE(window.Prompts().beeps, beeps);
        QVERIFY(window.WaitForRunEnd());
        const QStringList rows = window.LogRows();
        QCOMPARE(rows.size(), logRows);
        if (runs) {
            QCOMPARE(rows.last(), QString("Done.||||-1|-1"));
        }
    }

    // The path stays as it was given: relative, compared and stored as that text.
    void relativePathIsKeptAsGiven() {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_sandbox.Path("")));
        const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });
        const Window window;
        window.Store("General/DefaultProject", m_a);
        window->FormCreate({"a.kvx"});
        QCOMPARE(window->CurrentProjectFileName(), QString("a.kvx"));
        QCOMPARE(window->windowTitle(), QString("a.kvx - Kalvex"));
        QAction* setAsDefault = window.Action("actFileSetAsDefault");
        QVERIFY(!setAsDefault->isChecked());
        QVERIFY(Window::Trigger(setAsDefault));
        QCOMPARE(window.Stored("General/DefaultProject").toString(), QString("a.kvx"));
    }

    void startsWithTheApplicationTitle() {
        const Window window;
        QCOMPARE(window->ApplicationTitle(), QString("Kalvex"));
        window->FormCreate({});
        QCOMPARE(window->ApplicationTitle(), QString("(Untitled) - Kalvex"));
        QVERIFY(!window->IsModified());
        QVERIFY(!window.Action("actFileSetAsDefault")->isEnabled());
    }
};

KALVEX_GUI_TEST(TestStartup);

#include "TestStartup.moc"
