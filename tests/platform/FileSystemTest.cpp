#include "platform/FileOps.h"
#include "platform/Folder.h"
#include "platform/SafeWrite.h"
#include "platform/TempName.h"
#include "platform/TextLines.h"
#include "platform/Trash.h"

#include "Sandbox.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {
namespace {

using test::Node;
using test::Sandbox;

QStringList Names(const std::vector<DirEntry>& entries) {
    QStringList names;
    for (const DirEntry& entry : entries) {
        names << QString::fromLocal8Bit(entry.name);
    }
    return names;
}

bool NeverStop() {
    return false;
}

unsigned PermissionsOf(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : ~0u;
}

TEST(Folder, ListsInCaseInsensitiveOrdinalOrderWithStatus) {
    const Sandbox box;
    box.Make("r", {{"b.txt", "1"},
                   {"A.txt", "22"},
                   {"a.txt", "333"},
                   {"_x", "4"},
                   {"Sub/"},
                   {"link", {}, 0, "b.txt"}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    ASSERT_TRUE(folder.IsOpen());
    std::vector<DirEntry> entries;
    ASSERT_TRUE(folder.List(entries));
    // Upper case decides ("_" sorts after letters), then the exact bytes.
    EXPECT_EQ(Names(entries), (QStringList{"A.txt", "a.txt", "b.txt", "link", "Sub", "_x"}));
    EXPECT_EQ(entries[0].status.kind, EntryKind::File);
    EXPECT_EQ(entries[0].status.size, 2);
    EXPECT_EQ(entries[3].status.kind, EntryKind::Link);
    EXPECT_EQ(entries[4].status.kind, EntryKind::Folder);
    EXPECT_EQ(folder.CountSubFolders(), 1);
}

TEST(Folder, NameOrderComparesUpperCaseCharactersThenBytes) {
    struct Case {
        const char* a;
        const char* b;
        int ignoringCase;
        int exact;
    };
    // UTF-8: "é" is C3 A9, "É" is C3 89; upper-case "É" (U+00C9) sorts after "D" and "_".
    const Case cases[] = {
        {"a", "B", -1, -1},
        {"B", "a", 1, 1},
        {"abc", "ABC", 0, 1},
        {"ab", "abc", -1, -1},
        {"ab", "ab\xc3\xa9", -1, -1},
        {"ab\xc3\xa9", "abd", 1, 1},
        {"abd", "ab\xc3\xa9", -1, -1},
        {"x\xc3\xa9", "X\xc3\x89", 0, 1},
        {"\xc3\xa9z", "\xc3\x89y", 1, 1},
        {"a\xc3\xa9", "b", -1, -1},
        {"_", "\xc3\xa9", -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(CompareNamesIgnoringCase(c.a, c.b), c.ignoringCase);
        EXPECT_EQ(CompareNames(c.a, c.b), c.exact);
    }
}

TEST(Folder, NeverOpensALinkAsAFolder) {
    const Sandbox box;
    box.Make("r", {{"real/"}, {"jump", {}, 0, "real"}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    EXPECT_TRUE(folder.OpenChild("real").IsOpen());
    const Folder jump = folder.OpenChild("jump");
    EXPECT_FALSE(jump.IsOpen());
    EXPECT_EQ(folder.Status("jump").kind, EntryKind::Link);
}

TEST(Folder, ContainsItselfAndWhatLiesBelowButNotWhatLiesAbove) {
    const Sandbox box;
    box.Make("r", {{"in/"}, {"in/deep/"}, {"up", {}, 0, ".."}});
    box.Make("rest", {});
    const auto open = [&box](const char* path) { return Folder::Open(box.NativePath(path)); };
    const Folder root = open("r");
    EXPECT_TRUE(root.Contains(open("r/./")));
    EXPECT_TRUE(root.Contains(open("r/in/deep")));
    EXPECT_TRUE(open("r/in/deep/../..").Contains(open("r/in")));
    EXPECT_FALSE(open("r/in").Contains(root));
    EXPECT_FALSE(open("r/in/deep").Contains(open("r/up")));  // the link leads above
    EXPECT_TRUE(open("r/up").Contains(root));
    EXPECT_FALSE(root.Contains(open("rest")));
    EXPECT_FALSE(open("rest").Contains(root));
}

TEST(Folder, FolderExistsLooksAtTheLinkUnlessASeparatorFollows) {
    const Sandbox box;
    box.Make("r", {{"real/"}, {"jump", {}, 0, "real"}, {"file", "x"}});
    EXPECT_TRUE(FolderExists(box.Path("r/real")));
    EXPECT_TRUE(FolderExists(box.Path("r/real/")));
    EXPECT_FALSE(FolderExists(box.Path("r/jump")));
    EXPECT_TRUE(FolderExists(box.Path("r/jump/")));
    EXPECT_FALSE(FolderExists(box.Path("r/file")));
    EXPECT_FALSE(FolderExists(box.Path("r/none")));
    EXPECT_FALSE(FolderExists(QString()));
}

class CopyTest : public testing::Test {
protected:
    void SetUp() override {
        box.Make("from", {{"f.txt", "new content", 40}, {"l", {}, 60, "f.txt"}});
        box.Make("to", {{"f.txt", "old", 0}});
        ::chmod(box.NativePath("from/f.txt").constData(), 0640);
        from = Folder::Open(box.NativePath("from"));
        to = Folder::Open(box.NativePath("to"));
    }
    QStringList LeftOvers() const {
        return QDir(box.Path("to")).entryList({".kvx~*"}, QDir::AllEntries | QDir::Hidden);
    }

    Sandbox box;
    Folder from;
    Folder to;
};

TEST_F(CopyTest, FailIfExistsLeavesTheTargetAlone) {
    const Result copied = CopyEntry(from, "f.txt", to);
    EXPECT_FALSE(copied);
    EXPECT_EQ(copied.Error(), EEXIST);
    EXPECT_EQ(box.Describe("to"), QStringList{"f.txt=old@0"});
    EXPECT_TRUE(LeftOvers().isEmpty());
}

TEST_F(CopyTest, ReadOnlyTargetIsNotReplacedEvenByRoot) {
    ::chmod(box.NativePath("to/f.txt").constData(), 0444);
    const Result replaced =
        ReplaceEntry(from, "f.txt", to, "f.txt", Version::Of(to.Status("f.txt")));
    EXPECT_FALSE(replaced);
    EXPECT_EQ(replaced.Error(), EACCES);
    EXPECT_EQ(box.Describe("to"), QStringList{"f.txt=old@0"});
}

TEST_F(CopyTest, LinkIsCopiedAsALinkWithItsOwnTime) {
    const Result copied = CopyEntry(from, "l", to);
    ASSERT_TRUE(copied) << copied;
    EXPECT_EQ(box.Describe("to"), (QStringList{"f.txt=old@0", "l->f.txt@60"}));
}

TEST_F(CopyTest, SetUserIdBitIsNotCopied) {
    ::chmod(box.NativePath("from/f.txt").constData(), 04755);
    ASSERT_TRUE(ReplaceEntry(from, "f.txt", to, "f.txt", Version::Of(to.Status("f.txt"))));
    EXPECT_EQ(PermissionsOf(box.Path("to/f.txt")), 0755u);
}

TEST_F(CopyTest, PipeIsNeverOpened) {
    ASSERT_EQ(::mkfifo(box.NativePath("from/pipe").constData(), 0600), 0);
    EXPECT_FALSE(CopyEntry(from, "pipe", to));
    EXPECT_FALSE(QFile::exists(box.Path("to/pipe")));
}

TEST(CopyFolder, CopiesTheWholeTreeWithTimesAndLeavesOutWhatTheFilterRefuses) {
    const Sandbox box;
    box.Make("from", {{"d/"},
                      {"d/a.txt", "a", 10},
                      {"d/sub/"},
                      {"d/sub/b.txt", "b", 20},
                      {"d/skip.me", "s"},
                      {"d/ln", {}, 30, "a.txt"}});
    ASSERT_EQ(::mkfifo(box.NativePath("from/d/pipe").constData(), 0600), 0);
    box.Make("to", {});
    const Folder from = Folder::Open(box.NativePath("from"));
    const Folder to = Folder::Open(box.NativePath("to"));
    const auto filter = [](const QByteArray& name, const EntryStatus&) {
        return name != "skip.me";
    };
    const Result copied = CopyFolder(from, "d", to, filter, NeverStop);
    ASSERT_TRUE(copied) << copied;
    EXPECT_EQ(box.Describe("to"),
              (QStringList{"d/", "d/a.txt=a@10", "d/ln->a.txt@30", "d/sub/", "d/sub/b.txt=b@20"}));
}

// Every entry below `root` with its kind, permission bits, size, time and content.
// Enough folders and files for the copy to spread over threads and split large folders,
// with times and permission bits on every level, a read-only folder among them.
TEST(CopyFolder, CopiesALargeTreeExactly) {
    const Sandbox box;
    std::vector<Node> nodes = {{"d/"}};
    for (int f = 0; f < 3; ++f) {
        const QString folder = QString("d/f%1/").arg(f);
        nodes.push_back({folder});
        for (int i = 0; i < 100; ++i) {
            nodes.push_back({folder + QString("file%1").arg(i), QByteArray::number(f * 1000 + i),
                             1'000'000 + i});
        }
        for (int s = 0; s < 3; ++s) {
            const QString sub = folder + QString("s%1/").arg(s);
            nodes.push_back({sub});
            for (int i = 0; i < 40; ++i) {
                nodes.push_back({sub + QString("g%1").arg(i), QByteArray(i, 'x'), 2'000'000 + i});
            }
            nodes.push_back({sub + "link", {}, 3'000'000, "g1"});
        }
    }
    box.Make("from", nodes);
    box.Make("to", {});
    ASSERT_EQ(::chmod(box.NativePath("from/d/f1/s2").constData(), 0555), 0);
    ASSERT_EQ(::chmod(box.NativePath("from/d/f2").constData(), 0750), 0);
    int when = 0;
    for (const char* folder : {"d/f0/s0", "d/f0/s1", "d/f0/s2", "d/f0", "d/f1/s0", "d/f1/s1",
                               "d/f1/s2", "d/f1", "d/f2/s0", "d/f2/s1", "d/f2/s2", "d/f2", "d"}) {
        const struct timespec times[2] = {{5'000'000 + when, 7}, {5'000'000 + when, 7}};
        ++when;
        ASSERT_EQ(::utimensat(AT_FDCWD, box.NativePath(QString("from/") + folder).constData(),
                              times, AT_SYMLINK_NOFOLLOW),
                  0);
    }
    const QStringList source = test::Snapshot(box.Path("from"), test::Times::Modification);
    const Folder from = Folder::Open(box.NativePath("from"));
    const Folder to = Folder::Open(box.NativePath("to"));
    const Result copied = CopyFolder(
        from, "d", to, [](const QByteArray&, const EntryStatus&) { return true; }, NeverStop);
    ASSERT_TRUE(copied) << copied;
    EXPECT_EQ(test::Snapshot(box.Path("to"), test::Times::Modification), source);
    EXPECT_EQ(source.size(), 1 + 3 * (1 + 100 + 3 * (1 + 40 + 1)));
}

TEST(CopyFolder, FailsWhenTheNameExistsAndLeavesNoTemporaryFolder) {
    const Sandbox box;
    box.Make("from", {{"d/"}, {"d/a.txt", "a"}});
    box.Make("to", {{"d", "a file"}});
    const Folder from = Folder::Open(box.NativePath("from"));
    const Folder to = Folder::Open(box.NativePath("to"));
    EXPECT_FALSE(CopyFolder(
        from, "d", to, [](const QByteArray&, const EntryStatus&) { return true; }, NeverStop));
    EXPECT_EQ(box.Describe("to"), QStringList{"d=a file@0"});
}

class TrashTest : public testing::Test {
protected:
    void SetUp() override { Sandbox::EmptyTrash(); }
    void TearDown() override { Sandbox::EmptyTrash(); }
};

TEST_F(TrashTest, MovesFilesFoldersAndLinksIntoTheHomeTrash) {
    const Sandbox box;
    box.Make("r", {{"f.txt", "x", 4}, {"d/"}, {"d/in.txt", "y"}, {"dangling", {}, 0, "nowhere"}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    for (const QByteArray name : {"f.txt", "d", "dangling"}) {
        const Result trashed = MoveToTrash(folder, name);
        EXPECT_TRUE(trashed) << name.constData() << " " << trashed;
    }
    EXPECT_TRUE(box.Describe("r").isEmpty());
    EXPECT_EQ(Sandbox::TrashContent(),
              (QStringList{"d/", "d/in.txt=y@0", "dangling->nowhere@0", "f.txt=x@4"}));
    QFile info(test::PrivateHome::Path() + "/.local/share/Trash/info/f.txt.trashinfo");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const QByteArray text = info.readAll();
    EXPECT_TRUE(text.startsWith("[Trash Info]\nPath=" + QFile::encodeName(box.Path("r/f.txt")) +
                                "\nDeletionDate="))
        << text.constData();
}

TEST_F(TrashTest, SecondEntryOfTheSameNameGetsItsOwnPlace) {
    const Sandbox box;
    box.Make("r", {{"same", "first"}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    ASSERT_TRUE(MoveToTrash(folder, "same"));
    box.Make("r", {{"same", "second"}});
    ASSERT_TRUE(MoveToTrash(folder, "same"));
    EXPECT_EQ(Sandbox::TrashContent(), (QStringList{"same.2=second@0", "same=first@0"}));
}

TEST_F(TrashTest, WithoutAUsableTrashNothingIsDeleted) {
    const Sandbox box;
    box.Make("r", {{"keep.txt", "x"}});
    // The home trash is a file, not a folder: it cannot take anything.
    box.Make("home", {{"Trash", "not a folder"}});
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", box.NativePath("home"));
    const Folder folder = Folder::Open(box.NativePath("r"));
    EXPECT_FALSE(MoveToTrash(folder, "keep.txt"));
    qputenv("XDG_DATA_HOME", saved);
    EXPECT_EQ(box.Describe("r"), QStringList{"keep.txt=x@0"});
}

TEST(SafeWrite, ReplacesKeepingPermissionsAndLeavesNoTemporaryFile) {
    const Sandbox box;
    box.Make("r", {{"doc.kvx", "old"}});
    ::chmod(box.NativePath("r/doc.kvx").constData(), 0600);
    ASSERT_TRUE(WriteFileAtomically(box.NativePath("r/doc.kvx"), "new"));
    QFile file(box.Path("r/doc.kvx"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("new"));
    EXPECT_EQ(PermissionsOf(box.Path("r/doc.kvx")), 0600u);
    EXPECT_EQ(QDir(box.Path("r")).entryList(QDir::Files | QDir::Hidden), QStringList{"doc.kvx"});
}

TEST(SafeWrite, WriterThatIsNotCommittedLeavesTheOldFileAndNothingElse) {
    const Sandbox box;
    box.Make("r", {{"kvx_a.log", "old"}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    const QByteArray big((3 << 20) + 5, 'x');  // more than the writer holds at a time
    {
        AtomicFileWriter writer(folder, "kvx_a.log");
        writer.Append(big);
        writer.Append("tail");
    }
    EXPECT_EQ(box.Describe("r"), QStringList{"kvx_a.log=old@0"});

    AtomicFileWriter writer(folder, "kvx_a.log");
    for (int i = 0; i < 3; ++i) {
        writer.Append(big);
    }
    writer.Append("tail");
    const Result committed = writer.Commit();
    ASSERT_TRUE(committed) << committed;
    QFile file(box.Path("r/kvx_a.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), big + big + big + "tail");
    EXPECT_TRUE(box.Leftovers().isEmpty());
}

TEST(SafeWrite, ReadOnlyFileStaysAsItWas) {
    const Sandbox box;
    box.Make("r", {{"doc.kvx", "old"}});
    ::chmod(box.NativePath("r/doc.kvx").constData(), 0444);
    const Result written = WriteFileAtomically(box.NativePath("r/doc.kvx"), "new");
    EXPECT_FALSE(written);
    EXPECT_EQ(written.Error(), EACCES);
    EXPECT_EQ(box.Describe("r"), QStringList{"doc.kvx=old@0"});
}

TEST(SafeWrite, DocumentLinkIsWrittenThroughOwnFileLinkIsReplaced) {
    const Sandbox box;
    box.Make(
        "r",
        {{"real.kvx", "old"}, {"doc.kvx", {}, 0, "real.kvx"}, {"kvx_a.log", {}, 0, "real.kvx"}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    ASSERT_TRUE(WriteFileAtomically(box.NativePath("r/doc.kvx"), "through"));
    ASSERT_TRUE(WriteFileAtomicallyIn(folder, "kvx_a.log", "own"));
    QFile real(box.Path("r/real.kvx"));
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    EXPECT_EQ(real.readAll(), QByteArray("through"));
    EXPECT_EQ(folder.Status("doc.kvx").kind, EntryKind::Link);
    EXPECT_EQ(folder.Status("kvx_a.log").kind, EntryKind::File);
}

TEST(ReadWholeFile, RefusesFilesAboveTheLimitAndLinksInAFolder) {
    const Sandbox box;
    box.Make("r", {{"big", QByteArray(100, 'x')}, {"ln", {}, 0, "big"}});
    QByteArray content;
    const Result read = ReadWholeFile(box.NativePath("r/big"), 99, content);
    EXPECT_FALSE(read);
    EXPECT_EQ(read.Error(), EFBIG);
    EXPECT_TRUE(ReadWholeFile(box.NativePath("r/big"), 100, content));
    EXPECT_EQ(content.size(), 100);
    const Folder folder = Folder::Open(box.NativePath("r"));
    EXPECT_FALSE(ReadWholeFileIn(folder, "ln", 1000, content));
}

TEST(TempName, RecognisesOnlyItsOwnNames) {
    const QByteArray name = NewTempName();
    EXPECT_TRUE(IsTempName(name));
    EXPECT_NE(NewTempName(), name);
    EXPECT_FALSE(IsTempName(".kvx~notahexnumber!.tmp"));
    EXPECT_FALSE(IsTempName(".kvx~0123.tmp"));
    EXPECT_FALSE(IsTempName("report.tmp"));
}

}  // namespace
}  // namespace kalvex::platform
