// Real faults in the middle of a run: a full disk, a failing read, a file that changes while
// it is copied, a folder swapped for a link, hostile names. Every path must end up holding
// its old or its new content, and nothing outside the roots may be touched.
#include "CopyFaults.h"
#include "SyncFixture.h"

#include "Faults.h"
#include "engine/ProjectFile.h"
#include "platform/Folder.h"

#include <QDir>
#include <QThread>

#include <atomic>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::test {
namespace {

class FaultTest : public SyncFixture {
protected:
    ~FaultTest() override {
        SetCopyFault(CopyFault::None);
        OnCopyOf({}, {});
        OnSyncFs({});
    }
};

TEST_F(FaultTest, AbortInsideAFolderCopyStopsItAndLeavesNothingOfIt) {
    std::vector<Node> nodes{{"d/"}, {"d/sub/"}};
    for (int i = 0; i < 300; ++i) {
        nodes.emplace_back(QStringLiteral("d/f%1").arg(i, 3, 10, QChar(u'0')), "x");
        nodes.emplace_back(QStringLiteral("d/sub/g%1").arg(i, 3, 10, QChar(u'0')), "y");
    }
    box.Make("A", nodes);
    WriteLog({});
    std::atomic<QThread*> worker = nullptr;
    frontend.afterFolder = [&worker](const QString&) { worker = QThread::currentThread(); };
    OnCopyOf("f010", [&worker] { worker.load()->requestInterruption(); });
    RunToEnd(frontend);
    EXPECT_FALSE(frontend.completed);
    EXPECT_EQ(frontend.rows, (QStringList{Header("Test", 1), "Done."}));
    EXPECT_TRUE(SideB().isEmpty()) << SideB().join(u' ').toStdString();
    EXPECT_EQ(RawLog(), QByteArray());
}

TEST_F(FaultTest, EveryFileSystemWrittenIsFlushedBeforeTheLogIsWritten) {
    const SmallFileSystem disk(box.Path("B"), 1 << 20);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a file system of its own here";
    }
    box.Make("A", {{"a", "1"}});
    box.Make("B", {{"b", "2"}});
    WriteLog({});
    QStringList flushed;
    OnSyncFs([&](const QByteArray& folder) {
        // The log that stands while the file systems are flushed is still the old one.
        flushed << QString::fromLocal8Bit(folder) + u' ' + QString::fromLatin1(RawLog());
    });
    RunToEnd(frontend);
    flushed.sort();
    EXPECT_EQ(flushed, (QStringList{box.Path("A") + u' ', box.Path("B") + u' '}));
    EXPECT_EQ(Log(), "a\r\nb\r\n");

    flushed.clear();
    RunToEnd(frontend);
    EXPECT_TRUE(flushed.isEmpty()) << "nothing was written";
}

TEST_F(FaultTest, FileThatChangesWhileCopiedIsNotCommitted) {
    box.Make("A", {{"f", "new", 60}, {"same", "s"}});
    box.Make("B", {{"f", "old", 0}, {"same", "s"}});
    WriteLog({"f", "same"});
    SetCopyFault(CopyFault::SourceChanges, "f");
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages,
              (QStringList{"Error!: Failed to copy: f", "Error!: Failed to copy: f"}));
    EXPECT_EQ(SideB(), (QStringList{"f=old@0", "same=s@0"}));
    EXPECT_TRUE(box.Leftovers().isEmpty());

    SetCopyFault(CopyFault::None);
    frontend.messages.clear();
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.messages.isEmpty());
    EXPECT_EQ(SideB(), SideA());
}

TEST_F(FaultTest, ReadErrorLeavesNoPartialFileAndTheNameUnlisted) {
    box.Make("A", {{"bad", QByteArray(100000, 'b')}, {"good", "g"}});
    WriteLog({});
    SetCopyFault(CopyFault::ReadError, "bad");
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages, QStringList{"Error!: Failed to copy: bad"});
    EXPECT_EQ(SideB(), QStringList{"good=g@0"});
    EXPECT_EQ(Log(), QByteArray("good\r\n"));
    EXPECT_TRUE(box.Leftovers().isEmpty());
}

TEST_F(FaultTest, FolderThatCannotBeListedIsReportedAndNothingBelowItIsDeleted) {
    box.Make("A", {{"d/"}, {"d/x", "x"}, {"keep", "k"}});
    box.Make("B", {{"d/"}, {"keep", "k"}});
    // B lost d\x since the last run, but A's d cannot be listed now.
    WriteLog({"d", "d\\x", "keep"});
    SetCopyFault(CopyFault::ListError, "A/d");
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages, QStringList{"Error!: Failed to copy: d"});
    EXPECT_EQ(SideA(), (QStringList{"d/", "d/x=x@0", "keep=k@0"}));
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
}

TEST_F(FaultTest, EntryWhoseStatusCannotBeReadIsNeitherCopiedNorDeleted) {
    box.Make("A", {{"new", "a"}, {"listed", "l"}, {"keep", "k"}});
    box.Make("B", {{"new", "b"}, {"listed", "l"}, {"keep", "k"}});
    // Both names are there in B, but B cannot tell what they are: each pass reports it.
    WriteLog({"listed", "keep"});
    SetCopyFault(CopyFault::StatusError, "B/new");
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages,
              (QStringList{"Error!: Failed to copy: new", "Error!: Failed to copy: new"}));
    SetCopyFault(CopyFault::StatusError, "B/listed");
    frontend.messages.clear();
    RunToEnd(frontend);
    SetCopyFault(CopyFault::None);
    EXPECT_EQ(frontend.messages,
              (QStringList{"Error!: Failed to copy: listed", "Error!: Failed to copy: listed"}));
    EXPECT_EQ(SideA(), (QStringList{"keep=k@0", "listed=l@0", "new=a@0"}));
    EXPECT_EQ(SideB(), (QStringList{"keep=k@0", "listed=l@0", "new=b@0"}));
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
    EXPECT_FALSE(Log().contains("listed"));  // not listed while it cannot be seen
}

TEST_F(FaultTest, LogFileTooLargeToBeOneIsTakenAsMissing) {
    box.Make("A", {{"a", "1"}});
    box.Make("B", {{"b", "2"}});
    QFile log(box.Path("A/kvx_proj.log"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    ASSERT_TRUE(log.resize(qint64(600) << 20));  // sparse: takes no space on the disk
    log.close();
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages.size(), 1);
    EXPECT_TRUE(frontend.messages.value(0).startsWith("Confirmation: Couldn't find the previous"));
    EXPECT_EQ(SideB(), (QStringList{"a=1@0", "b=2@0"}));
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
}

TEST_F(FaultTest, FullDiskDuringACopyKeepsTheOldFile) {
    box.Make("A", {{"big", QByteArray(2 << 20, 'n'), 60}, {"small", "s", 60}});
    const SmallFileSystem disk(box.Path("B"), 1 << 20);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root and tmpfs)";
    }
    box.Make("B", {{"big", "old", 0}});
    WriteLog({"big"});
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.messages.contains("Error!: Failed to copy: big"));
    EXPECT_EQ(SideB(), (QStringList{"big=old@0", "small=s@60"}));
    EXPECT_TRUE(box.Leftovers().isEmpty());
}

TEST_F(FaultTest, FullDiskDuringTheLogWriteLeavesNoHalfLogAndTheNextRunAsks) {
    const SmallFileSystem disk(box.Path("A"), 256 << 10);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root and tmpfs)";
    }
    // Empty files take no space, but their names fill the new log file.
    std::vector<Node> names;
    for (int i = 0; i < 2000; ++i) {
        names.emplace_back(QStringLiteral("%1-%2").arg(i).arg(QString(150, u'n')));
    }
    box.Make("A", names);
    box.Make("B", names);
    WriteLog({"old-line"});
    disk.Fill();
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.completed);
    EXPECT_TRUE(frontend.messages.isEmpty());
    EXPECT_EQ(Log(), QByteArray("(none)"));
    EXPECT_TRUE(box.Leftovers().isEmpty());

    QFile::remove(box.Path("A/filler"));
    frontend.answers = {Answer::No};
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages.size(), 1);
    EXPECT_TRUE(frontend.messages.value(0).startsWith("Confirmation: Couldn't find the previous"));
}

TEST_F(FaultTest, FullDiskDuringAProjectSaveKeepsTheOldProject) {
    box.Make("docs", {});
    const SmallFileSystem disk(box.Path("docs"), 64 << 10);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root and tmpfs)";
    }
    const QList<Profile> old = {Profile{true, "old", "/a", "/b"}};
    QString error;
    ASSERT_TRUE(WriteProjectFile(box.Path("docs/p.kvx"), old, error));
    disk.Fill();
    QList<Profile> many;
    for (int i = 0; i < 500; ++i) {
        many.append(Profile{true, QString(200, u'x'), "/a", "/b"});
    }
    EXPECT_FALSE(WriteProjectFile(box.Path("docs/p.kvx"), many, error));
    EXPECT_TRUE(error.contains(box.Path("docs/p.kvx"))) << error.toStdString();
    QList<Profile> read;
    ASSERT_TRUE(ReadProjectFile(box.Path("docs/p.kvx"), read, error));
    EXPECT_EQ(read, old);
    EXPECT_TRUE(box.Leftovers("docs").isEmpty());
}

TEST_F(FaultTest, ReadOnlyTargetIsTriedInBothPassesAndLeftAlone) {
    box.Make("A", {{"f", "new", 60}});
    box.Make("B", {{"f", "old", 0}});
    ::chmod(box.NativePath("B/f").constData(), 0444);
    WriteLog({"f"});
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages,
              (QStringList{"Error!: Failed to copy: f", "Error!: Failed to copy: f"}));
    EXPECT_EQ(frontend.rows, (QStringList{Header(), Row("f", T(60), ">", T(0), 1),
                                          Row("f", T(60), ">", T(0), 1), "Done."}));
    EXPECT_EQ(SideB(), QStringList{"f=old@0"});
    EXPECT_EQ(Log(), QByteArray("f\r\n"));
}

TEST_F(FaultTest, FileReplacedByAFolderBetweenRunsTouchesNeitherSide) {
    box.Make("A", {{"x/"}, {"x/inside", "i"}});
    box.Make("B", {{"x", "the old file"}});
    WriteLog({"x"});
    RunToEnd(frontend);
    EXPECT_EQ(SideA(), (QStringList{"x/", "x/inside=i@0"}));
    EXPECT_EQ(SideB(), QStringList{"x=the old file@0"});
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
}

TEST_F(FaultTest, FolderSwappedForALinkDuringTheRunLeadsNowhere) {
    box.Make("outside", {{"victim", "must stay"}});
    box.Make("A", {{"d/"}, {"d/victim", "v"}, {"keep", "k"}});
    box.Make("B", {{"d/"}, {"keep", "k"}});
    // B lost d\victim since the last run: the first pass deletes A's copy, if it gets there.
    WriteLog({"d", "d\\victim", "keep"});
    const QString a = box.Path("A");
    const QString outside = box.Path("outside");
    frontend.afterFolder = [a, outside](const QString& folder) {
        if (folder == u"d" && QFileInfo(a + "/d").isDir() && !QFileInfo(a + "/d").isSymLink()) {
            QDir(a + "/d").removeRecursively();
            QFile::link(outside, a + "/d");
        }
    };
    RunToEnd(frontend);
    EXPECT_EQ(box.Describe("outside"), QStringList{"victim=must stay@0"});
    EXPECT_TRUE(frontend.messages.contains("Error!: Failed to copy: d"));
}

// Builds a chain of `levels` folders of 120-byte names below `root` with a file at the
// bottom, one component at a time (the whole path is far beyond PATH_MAX); returns the
// file's relative path with backslashes.
QByteArray MakeDeepChain(const QString& root, int levels) {
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY);
    QByteArray relative;
    for (int level = 0; level < levels; ++level) {
        const QByteArray name(120, static_cast<char>('a' + level % 26));
        ::mkdirat(fd, name.constData(), 0755);
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        relative += name + '\\';
    }
    ::close(::openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0644));
    ::close(fd);
    return relative + "bottom.txt";
}

bool DeepChainHasItsFile(const QString& root, int levels) {
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < levels && fd >= 0; ++level) {
        const QByteArray name(120, static_cast<char>('a' + level % 26));
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        ::close(fd);
        fd = next;
    }
    struct stat st;
    const bool found = fd >= 0 && ::fstatat(fd, "bottom.txt", &st, 0) == 0;
    ::close(fd);
    return found;
}

// Removes such a chain again: recursive removal by full path cannot reach its bottom.
void RemoveDeepChain(const QString& root, int levels) {
    std::vector<int> fds{::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY)};
    for (int level = 0; level < levels && fds.back() >= 0; ++level) {
        const QByteArray name(120, static_cast<char>('a' + level % 26));
        fds.push_back(::openat(fds.back(), name.constData(), O_RDONLY | O_DIRECTORY));
    }
    if (fds.back() >= 0) {
        ::unlinkat(fds.back(), "bottom.txt", 0);
    }
    for (int level = levels - 1; level >= 0; --level) {
        const QByteArray name(120, static_cast<char>('a' + level % 26));
        ::close(fds[level + 1]);
        ::unlinkat(fds[level], name.constData(), AT_REMOVEDIR);
    }
    ::close(fds[0]);
}

TEST_F(FaultTest, HostileNamesAreCopiedByteForByte) {
    const QByteArray invalidUtf8("bad-\xff\xfe-name");
    const QByteArray longName(255, 'L');
    box.Make("A", {{"  spaces at both ends  ", "s"}, {"deep/"}});
    for (const QByteArray& name : {invalidUtf8, longName}) {
        ::close(::open((box.NativePath("A/") + name).constData(), O_WRONLY | O_CREAT, 0644));
    }
    constexpr int kLevels = 40;  // 40 levels of 121 bytes: a path of almost 5000 bytes
    const QByteArray deepFile = "deep\\" + MakeDeepChain(box.Path("A/deep"), kLevels);
    WriteLog({});
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.messages.isEmpty()) << frontend.messages.join(u'\n').toStdString();
    const platform::Folder b = platform::Folder::Open(box.NativePath("B"));
    EXPECT_EQ(b.Status(invalidUtf8).kind, platform::EntryKind::File);
    EXPECT_EQ(b.Status(longName).kind, platform::EntryKind::File);
    EXPECT_EQ(b.Status("  spaces at both ends  ").kind, platform::EntryKind::File);
    EXPECT_TRUE(DeepChainHasItsFile(box.Path("B/deep"), kLevels));
    EXPECT_TRUE(Log().contains("\r\n" + invalidUtf8 + "\r\n"));
    EXPECT_TRUE(Log().contains("\r\n" + deepFile + "\r\n"));

    // The next run finds everything equal.
    frontend.rows.clear();
    RunToEnd(frontend);
    EXPECT_EQ(frontend.rows, (QStringList{Header("Test", 2), "Done."}));
    RemoveDeepChain(box.Path("A/deep"), kLevels);
    RemoveDeepChain(box.Path("B/deep"), kLevels);
}

}  // namespace
}  // namespace kalvex::test
