#include "GuiTest.h"
#include "RunFixture.h"
#include "Window.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

namespace {

// Whether the process has its SIGTERM handler in place (Linux: the caught-signals mask).
bool CatchesSigterm(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
        }
    }
    return false;
}

}  // namespace

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
        QVERIFY(QTest::qWaitFor([&] { return CatchesSigterm(program.processId()); }, 20000));
        // Time to reach the question about the missing log file, which a slower start may
        // not: a quit requested before it comes answers it No all the same.
        QVERIFY(!program.waitForFinished(500));
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
