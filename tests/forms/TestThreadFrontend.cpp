#include "GuiTest.h"
#include "forms/LogListModel.h"
#include "forms/ThreadFrontend.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <atomic>
#include <memory>
#include <span>

using namespace kalvex;

namespace {

// A view that notes the thread of every call.
class RecordingView final : public TRunView {
public:
    int RunProfileCount() const override { return Note(), static_cast<int>(profiles.size()); }
    std::optional<Profile> RunProfileAt(int index) const override {
        Note();
        if (index < 0 || index >= profiles.size()) {
            return std::nullopt;
        }
        return profiles[index];
    }
    int RunSelectedProfile() const override { return Note(), 1; }
    QString RunProjectFileName() const override { return Note(), "/p/x.kvx"; }
    void RunBeginProfile(const QString& name, int folders) override {
        Note();
        calls.append(QString("begin %1 %2").arg(name).arg(folders));
    }
    void RunShowFolder(const QString& folder, bool topLevel) override {
        Note();
        calls.append(QString("folder %1 %2").arg(folder).arg(topLevel));
    }
    void RunAddLogRows(std::span<const LogRow> rows) override {
        Note();
        for (const LogRow& row : rows) {
            calls.append("row " + QString::fromLocal8Bit(row.fileName));
        }
        rowHandOffs.append(static_cast<int>(rows.size()));
    }
    void RunFinish(bool completed) override {
        Note();
        calls.append(QString("finish %1").arg(completed));
    }
    void RunShowWarning(const QString& text) override {
        Note();
        calls.append("warning " + text);
    }
    void RunAsk(const EngineMessage& message, std::function<void(Answer)> answered) override {
        Note();
        calls.append("ask " + message.text);
        pendingAnswer = std::move(answered);
    }

    void Note() const { threads.insert(QThread::currentThread()); }

    QList<Profile> profiles = {{true, "one", "/a", "/b"}, {false, "two", "/c", "/d"}};
    mutable QSet<QThread*> threads;
    QStringList calls;
    QList<int> rowHandOffs;  // the number of rows in each
    std::function<void(Answer)> pendingAnswer;
};

// A view that only fills a log list.
class LogView final : public TRunView {
public:
    int RunProfileCount() const override { return 0; }
    std::optional<Profile> RunProfileAt(int) const override { return std::nullopt; }
    int RunSelectedProfile() const override { return -1; }
    QString RunProjectFileName() const override { return {}; }
    void RunBeginProfile(const QString&, int) override {}
    void RunShowFolder(const QString&, bool) override {}
    void RunAddLogRows(std::span<const LogRow> rows) override { model.AddActionRows(rows); }
    void RunFinish(bool) override {}
    void RunShowWarning(const QString& text) override { model.AddCaptionRow(text); }
    void RunAsk(const EngineMessage&, std::function<void(Answer)> answered) override {
        answered(Answer::No);
    }

    TLogListModel model;
};

}  // namespace

class TestThreadFrontend final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void workerCallsAreServedOnTheMainThread() {
        QObject context;
        RecordingView view;
        TThreadFrontend frontend(context, view);
        int count = -1;
        std::optional<Profile> second;
        std::optional<Profile> gone;
        int selected = -1;
        QString project;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            count = frontend.ProfileCount();
            second = frontend.ProfileAt(1);
            gone = frontend.ProfileAt(5);
            selected = frontend.SelectedProfile();
            project = frontend.ProjectFileName();
            frontend.BeginProfile("one", 3);
            frontend.ShowFolder("sub", true);
            frontend.AddLogRow({"sub\\f", "-", ">>", "-", 1});
            frontend.FinishRun(false);
        }));
        worker->start();
        QTRY_VERIFY(worker->isFinished());

        QCOMPARE(view.threads, QSet<QThread*>{QThread::currentThread()});
        QCOMPARE(count, 2);
        QVERIFY(second.has_value());
        QCOMPARE(*second, (Profile{false, "two", "/c", "/d"}));
        QVERIFY(!gone.has_value());
        QCOMPARE(selected, 1);
        QCOMPARE(project, QString("/p/x.kvx"));
        QCOMPARE(view.calls,
                 (QStringList{"begin one 3", "folder sub 1", "row sub\\f", "finish 0"}));
    }

    void showMessageWaitsForTheAnswerWithoutHoldingTheMainThread() {
        QObject context;
        RecordingView view;
        TThreadFrontend frontend(context, view);
        std::atomic<bool> returned = false;
        Answer answer = Answer::Ok;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            answer = frontend.ShowMessage(
                {"Go on?", "Confirmation", MessageKind::Question, Answer::Yes});
            returned = true;
        }));
        worker->start();
        QTRY_VERIFY(view.pendingAnswer != nullptr);
        // The main thread goes on serving events while the question is open.
        QTest::qWait(50);
        QVERIFY(!returned);
        QCOMPARE(view.calls, QStringList{"ask Go on?"});

        const std::function<void(Answer)> answered = view.pendingAnswer;
        answered(Answer::No);
        answered(Answer::Yes);  // a second answer is ignored
        QTRY_VERIFY(returned);
        QVERIFY(worker->wait(5000));
        QCOMPARE(answer, Answer::No);
    }

    // Rows and folders reach the view on their own, in order, when no later call drains
    // them: the worker is still busy, or waits for nothing.
    void queuedRowsAreShownWithoutALaterCall() {
        QObject context;
        RecordingView view;
        TThreadFrontend frontend(context, view);
        std::unique_ptr<QThread> worker(QThread::create([&frontend] {
            frontend.ShowFolder("d", true);
            for (int i = 0; i < 3; ++i) {
                frontend.AddLogRow({"d\\f" + QByteArray::number(i), "-", ">>", "-", 1});
            }
        }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QTRY_COMPARE(view.calls,
                     (QStringList{"folder d 1", "row d\\f0", "row d\\f1", "row d\\f2"}));
        QCOMPARE(view.threads, QSet<QThread*>{QThread::currentThread()});
    }

    // The main thread is held while the worker reports, so that all of it is one batch.
    void rowsBetweenTwoFoldersReachTheViewInOneCall() {
        QObject context;
        RecordingView view;
        TThreadFrontend frontend(context, view);
        std::unique_ptr<QThread> worker(QThread::create([&frontend] {
            frontend.AddLogRow({"top", "-", ">>", "-", 1});
            frontend.ShowFolder("d", true);
            for (int i = 0; i < 3; ++i) {
                frontend.AddLogRow({"d\\f" + QByteArray::number(i), "-", ">>", "-", 1});
            }
            frontend.ShowFolder("d\\e", false);
            frontend.ShowFolder("d\\g", false);
            frontend.AddLogRow({"d\\g\\f", "-", ">>", "-", 1});
        }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QTRY_COMPARE(view.calls,
                     (QStringList{"row top", "folder d 1", "row d\\f0", "row d\\f1", "row d\\f2",
                                  "folder d\\e 0", "folder d\\g 0", "row d\\g\\f"}));
        QCOMPARE(view.rowHandOffs, (QList<int>{1, 3, 1}));
    }

    // A run that reports 100,000 actions: one hand-off each, into a shown log list.
    void hundredThousandRowsThroughTheHandOff() {
        QObject context;
        LogView view;
        QTreeView list;
        list.setUniformRowHeights(true);
        list.setRootIsDecorated(false);
        list.setModel(&view.model);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        TThreadFrontend frontend(context, view);
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<QThread> worker(QThread::create([&frontend] {
            for (int i = 0; i < 100000; ++i) {
                frontend.AddLogRow({"folder\\file" + QByteArray::number(i), "-", ">>", "-", 1});
            }
            frontend.FinishRun(true);
        }));
        // A real event loop, as the program runs: a polling wait would add its own pauses.
        QEventLoop loop;
        connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        worker->start();
        loop.exec();
        QVERIFY(worker->isFinished());
        QCOMPARE(view.model.rowCount(), 100000);
        qInfo("100000 rows in %lld ms", static_cast<long long>(timer.elapsed()));
        QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    }

    void callsFromTheMainThreadRunDirectly() {
        QObject context;
        RecordingView view;
        TThreadFrontend frontend(context, view);
        QCOMPARE(frontend.ProfileCount(), 2);
        frontend.ShowFolder("x", false);
        QCOMPARE(view.calls, QStringList{"folder x 0"});
    }
};

KALVEX_GUI_TEST(TestThreadFrontend);

#include "TestThreadFrontend.moc"
