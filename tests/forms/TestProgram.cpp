#include "GuiTest.h"
#include "RunFixture.h"
#include "Window.h"

#include <QProcess>
#include <QTest>

#include <csignal>

using namespace kalvex;

// The kalvex program itself, started as a user would and ended by a signal.
class TestProgram final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::ClearSettings(); }

    void signalEndsTheProgram_data() {
        QTest::addColumn<bool>("withRun");
        QTest::newRow("idle window") << false;
        QTest::newRow("while the run waits at a question") << true;
    }
    void signalEndsTheProgram() {
        QFETCH(bool, withRun);
        test::RunSandbox sandbox;
        const QString project = sandbox.Path("p.kvx");
        QVERIFY(test::WriteProject(project, {sandbox.MakeProfile("one", {{"a.txt", "a"}}, {})}));
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(KALVEX_PROGRAM, withRun ? QStringList{"/SYNC", project} : QStringList{});
        QVERIFY(program.waitForStarted());
        // Time to come up and reach the question about the missing log file.
        QVERIFY(!program.waitForFinished(1500));
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        // The question was never answered Yes: nothing was copied.
        QCOMPARE(sandbox.Describe("one/B"), QStringList());
    }
};

KALVEX_GUI_TEST(TestProgram);

#include "TestProgram.moc"
