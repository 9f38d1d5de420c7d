// The window's benchmark: a first run of a generated tree shown in the log list, timed from
// Synchronize All to "Done.", against kalvex-sync on a copy of the same tree; and how long
// the window's event loop waited at the worst moment (input waits as long), and the peak
// memory of the window's process. Directory B holds the folders already, so that every file
// is copied alone and shown in a row of its own.
//   kalvex_gui_bench [FILES] [SIZE]      defaults: 100000 files of 1024 bytes
#include "ScriptedPrompts.h"
#include "forms/LogListModel.h"
#include "forms/Main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <sys/resource.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kFilesPerFolder = 100;

QString FolderOf(const QString& root, int file) {
    return QStringLiteral("%1/d%2/s%3")
        .arg(root)
        .arg(file / (kFilesPerFolder * kFilesPerFolder))
        .arg(file / kFilesPerFolder % kFilesPerFolder);
}

// The folders of the tree, and with `size` the files of `size` bytes in them.
bool MakeTree(const QString& root, int files, int size) {
    const QByteArray payload(size, 'k');
    for (int i = 0; i < files; ++i) {
        const QString folder = FolderOf(root, i);
        if (i % kFilesPerFolder == 0 && !QDir().mkpath(folder)) {
            return false;
        }
        if (size < 0) {
            continue;
        }
        QFile file(QStringLiteral("%1/f%2").arg(folder).arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(payload) != size) {
            return false;
        }
    }
    return true;
}

QString WriteProject(const QString& path, const QString& a, const QString& b) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write("[General]\r\nNumOfItems=1\r\n[Item0]\r\nChecked=1\r\nName=bench\r\nDirA=" +
                   QFile::encodeName(a) + "\r\nDirB=" + QFile::encodeName(b) + "\r\n");
    }
    return path;
}

double TimeTool(const QString& project) {
    QElapsedTimer clock;
    clock.start();
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.start(QStringLiteral(KALVEX_SYNC_PATH), {QStringLiteral("--yes"), project});
    tool.waitForFinished(-1);
    return clock.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir scratch;
    // Deleting many files slows down making many soon after: to time runs back to back,
    // keep their trees and delete them later.
    if (qEnvironmentVariableIsSet("KALVEX_BENCH_KEEP")) {
        scratch.setAutoRemove(false);
        std::printf("keeping %s\n", qPrintable(scratch.path()));
    }
    // The trash and settings of the benchmark stay in its own folder.
    qputenv("HOME", QFile::encodeName(scratch.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.path() + "/share"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path() + "/config"));
    QApplication app(argc, argv);
    const int files = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const int size = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1024;

    // The first tree is copied for the other two runs (a million files fewer than a tree of
    // its own to copy from, at a million).
    const QString tree = scratch.path() + "/toolA";
    std::printf("generating %d files of %d bytes...\n", files, size);
    if (files <= 0 || !MakeTree(tree, files, size)) {
        std::fprintf(stderr, "cannot make the tree\n");
        return 1;
    }
    for (const char* copy : {"guiA", "lateA"}) {
        QProcess::execute("cp", {"-a", tree, scratch.path() + '/' + copy});
    }
    for (const char* side : {"toolA", "guiA", "lateA"}) {
        MakeTree(scratch.path() + '/' + side + "B", files, -1);
    }
    // The tool runs before and after the window: a file system that has just made many
    // files makes the next ones slower, and the mean evens that out.
    const double toolBefore = TimeTool(WriteProject(
        scratch.path() + "/tool.kvx", scratch.path() + "/toolA", scratch.path() + "/toolAB"));

    auto prompts = std::make_unique<kalvex::test::ScriptedPrompts>();
    prompts->autoAnswer = kalvex::Answer::Yes;
    kalvex::TfrmMain window(std::move(prompts));
    const QString project = WriteProject(scratch.path() + "/gui.kvx", scratch.path() + "/guiA",
                                         scratch.path() + "/guiAB");

    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    qint64 worstWaitMs = 0;
    qint64 worstWaitAtMs = 0;
    constexpr int kTickMs = 5;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 waitMs = sinceTick.elapsed() - kTickMs;
        if (waitMs > worstWaitMs) {
            worstWaitMs = waitMs;
            worstWaitAtMs = clock.elapsed();
        }
        sinceTick.start();
        if (clock.isValid() && !window.RunInProgress()) {
            app.quit();
        }
    });
    clock.start();
    window.FormCreate({QStringLiteral("/SYNC"), project});
    window.ShowRestored();
    sinceTick.start();
    ticker.start(kTickMs);
    app.exec();
    const double guiSeconds = clock.nsecsElapsed() / 1e9;
    const double toolAfter = TimeTool(WriteProject(
        scratch.path() + "/late.kvx", scratch.path() + "/lateA", scratch.path() + "/lateAB"));
    const double toolSeconds = (toolBefore + toolAfter) / 2;

    int rows = 0;
    for (const QTreeView* view : window.findChildren<QTreeView*>()) {
        if (qobject_cast<const kalvex::TLogListModel*>(view->model()) != nullptr) {
            rows = view->model()->rowCount();
        }
    }
    std::printf("kalvex-sync first run: %.3f s (mean of %.3f s before and %.3f s after)\n",
                toolSeconds, toolBefore, toolAfter);
    std::printf("window first run:      %.3f s (%d rows in the log list)\n", guiSeconds, rows);
    std::printf("ratio window / tool:   %.2f\n", guiSeconds / toolSeconds);
    std::printf("longest event-loop wait: %lld ms, ending %.3f s after the start\n",
                static_cast<long long>(worstWaitMs), worstWaitAtMs / 1e3);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("window peak memory:    %.1f MB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
