// Copies onto file systems that lack some calls (simulated), and what a copy keeps besides
// content and times: owner and group (as root), `user.` extended attributes, holes.
#include "platform/FileOps.h"
#include "platform/FileSystemAbilities.h"
#include "platform/Folder.h"
#include "platform/SafeWrite.h"
#include "platform/Trash.h"

#include "Faults.h"
#include "OtherUser.h"
#include "Sandbox.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kalvex::platform {
namespace {

using test::Node;
using test::Sandbox;
using test::SmallFileSystem;

constexpr auto kAll = [](const QByteArray&, const EntryStatus&) { return true; };
constexpr auto NeverStop = [] { return false; };

struct stat StatusOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

QByteArray Content(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// ---- File systems without RENAME_NOREPLACE or hard links ----

struct LimitCase {
    const char* name;
    SimulatedLimits limits;
};
KALVEX_NAMED_CASE(LimitCase)

class LimitedFileSystemTest : public testing::TestWithParam<LimitCase> {
protected:
    void SetUp() override {
        Sandbox::EmptyTrash();
        SimulateLimits(GetParam().limits);
    }
    void TearDown() override {
        SimulateLimits({});
        Sandbox::EmptyTrash();
    }

    Sandbox box;
};

TEST_P(LimitedFileSystemTest, NewFilesAreCommittedAndNothingIsReplaced) {
    box.Make("from",
             {{"new.txt", "new", 40}, {"taken.txt", "mine", 50}, {"ln", {}, 60, "new.txt"}});
    box.Make("to", {{"taken.txt", "theirs", 0}});
    ::chmod(box.NativePath("from/new.txt").constData(), 0640);
    const Folder from = Folder::Open(box.NativePath("from"));
    const Folder to = Folder::Open(box.NativePath("to"));
    const Result copiedFile = CopyEntry(from, "new.txt", to);
    EXPECT_TRUE(copiedFile) << copiedFile;
    const Result copiedLink = CopyEntry(from, "ln", to);
    EXPECT_TRUE(copiedLink) << copiedLink;
    const Result overTaken = CopyEntry(from, "taken.txt", to);
    EXPECT_FALSE(overTaken);
    EXPECT_EQ(overTaken.Error(), EEXIST);
    EXPECT_EQ(box.Describe("to"),
              (QStringList{"ln->new.txt@60", "new.txt=new@40", "taken.txt=theirs@0"}));
    EXPECT_TRUE(box.Leftovers().isEmpty());
    const unsigned bits = StatusOf(box.Path("to/new.txt")).st_mode & 07777;
    EXPECT_EQ(bits, GetParam().limits.noPermissionBits ? 0600u : 0640u);
}

TEST_P(LimitedFileSystemTest, FolderCopiesAreCommittedButNeverOverAnEmptyFolder) {
    std::vector<Node> nodes = {{"d/"}, {"empty/"}, {"empty/x", "x", 8}};
    for (int f = 0; f < 4; ++f) {
        nodes.push_back({QString("d/f%1/").arg(f)});
        for (int i = 0; i < 50; ++i) {
            nodes.push_back({QString("d/f%1/file%2").arg(f).arg(i), QByteArray::number(i), i});
        }
    }
    box.Make("from", nodes);
    box.Make("to", {{"empty/"}});
    const Folder from = Folder::Open(box.NativePath("from"));
    const Folder to = Folder::Open(box.NativePath("to"));
    const Result copied = CopyFolder(from, "d", to, kAll, NeverStop);
    ASSERT_TRUE(copied) << copied;
    EXPECT_EQ(box.Describe("to/d"), box.Describe("from/d"));
    // A plain rename would replace an empty folder.
    const Result overEmpty = CopyFolder(from, "empty", to, kAll, NeverStop);
    EXPECT_FALSE(overEmpty);
    EXPECT_EQ(overEmpty.Error(), EEXIST);
    EXPECT_EQ(box.Describe("to/empty"), QStringList{});
    EXPECT_TRUE(box.Leftovers().isEmpty());
}

TEST_P(LimitedFileSystemTest, TrashAndSafeWritesWork) {
    box.Make("r", {{"same", "first"}, {"doc.kvx", "old"}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    const Result first = MoveToTrash(folder, "same");
    ASSERT_TRUE(first) << first;
    box.Make("r", {{"same", "second"}});
    const Result second = MoveToTrash(folder, "same");
    ASSERT_TRUE(second) << second;
    EXPECT_EQ(Sandbox::TrashContent(), (QStringList{"same.2=second@0", "same=first@0"}));
    const Result document = WriteFileAtomically(box.NativePath("r/doc.kvx"), "new");
    ASSERT_TRUE(document) << document;
    const Result log = WriteFileAtomicallyIn(folder, "kvx_p.log", "log");
    ASSERT_TRUE(log) << log;
    const Result logAgain = WriteFileAtomicallyIn(folder, "kvx_p.log", "log 2");
    ASSERT_TRUE(logAgain) << logAgain;
    EXPECT_EQ(Content(box.Path("r/doc.kvx")), QByteArray("new"));
    EXPECT_EQ(Content(box.Path("r/kvx_p.log")), QByteArray("log 2"));
    EXPECT_TRUE(box.Leftovers().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Table, LimitedFileSystemTest,
                         testing::Values(LimitCase{"nfs", {.noExclusiveRename = true}},
                                         LimitCase{"exfat",
                                                   {.noExclusiveRename = true,
                                                    .noHardLinks = true,
                                                    .noOwners = true,
                                                    .noUserAttributes = true}},
                                         LimitCase{"fat",
                                                   {.noExclusiveRename = true,
                                                    .noHardLinks = true,
                                                    .noPermissionBits = true,
                                                    .noOwners = true,
                                                    .noUserAttributes = true}}),
                         test::kCaseName);

TEST(FileSystemAbilities, CallsThatFailAreTriedOncePerFileSystem) {
    SimulateLimits({.noExclusiveRename = true, .noHardLinks = true});
    const Sandbox box;
    std::vector<Node> nodes;
    for (int i = 0; i < 5; ++i) {
        nodes.push_back({QString("f%1").arg(i), "x"});
    }
    box.Make("from", nodes);
    box.Make("to", {});
    const Folder from = Folder::Open(box.NativePath("from"));
    const Folder to = Folder::Open(box.NativePath("to"));
    for (int i = 0; i < 5; ++i) {
        const Result copied = CopyEntry(from, QByteArray("f") + QByteArray::number(i), to);
        EXPECT_TRUE(copied) << copied;
    }
    // One RENAME_NOREPLACE and one link, for the first file only.
    EXPECT_EQ(SimulatedFailures(), 2);
    EXPECT_EQ(box.Describe("to").size(), 5);
    SimulateLimits({});
}

// ---- Owner, group, extended attributes ----

QByteArray Attribute(const QString& path, const char* name) {
    char value[256];
    const ssize_t size =
        ::lgetxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return size < 0 ? QByteArray("(none)") : QByteArray(value, size);
}

bool SetAttribute(const QString& path, const char* name, const QByteArray& value) {
    return ::lsetxattr(QFile::encodeName(path).constData(), name, value.constData(),
                       static_cast<size_t>(value.size()), 0) == 0;
}

// Owner, group and permission bits of every entry below `root`, and the `user.note` and
// `trusted.note` attributes where there are any.
QStringList Ownership(const QString& root) {
    QStringList lines;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const struct stat st = StatusOf(path);
        QString line = QString("%1 %2:%3 %4")
                           .arg(path.mid(root.size()))
                           .arg(st.st_uid)
                           .arg(st.st_gid)
                           .arg(st.st_mode & 07777, 0, 8);
        if (!S_ISLNK(st.st_mode)) {
            line += " user.note=" + Attribute(path, "user.note") +
                    " trusted.note=" + Attribute(path, "trusted.note");
        }
        lines << line;
    }
    lines.sort();
    return lines;
}

class KeepTest : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "owners can be given only as root";
        }
        box.Make("from", {{"f", "f"}, {"d/"}, {"d/in", "i"}, {"d/sub/"}, {"d/ln", {}, 0, "in"}});
        box.Make("to", {});
        for (const char* path : {"from/f", "from/d", "from/d/in", "from/d/sub", "from/d/ln"}) {
            ASSERT_EQ(
                ::lchown(box.NativePath(path).constData(), test::kOtherUser, test::kOtherUser), 0);
        }
        ::chmod(box.NativePath("from/f").constData(), 0600);
        ::chmod(box.NativePath("from/d").constData(), 0750);
        ::chmod(box.NativePath("from/d/in").constData(), 0640);
        ::chmod(box.NativePath("from/d/sub").constData(), 0755);
        if (!SetAttribute(box.Path("from/f"), "user.note", "file note") ||
            !SetAttribute(box.Path("from/d"), "user.note", "folder note") ||
            !SetAttribute(box.Path("from/d/in"), "user.note", "") ||
            !SetAttribute(box.Path("from/d/in"), "trusted.note", "root's own")) {
            GTEST_SKIP() << "this file system keeps no extended attributes";
        }
        from = Folder::Open(box.NativePath("from"));
        to = Folder::Open(box.NativePath("to"));
    }
    void TearDown() override { SimulateLimits({}); }

    Sandbox box;
    Folder from;
    Folder to;
};

TEST_F(KeepTest, FileKeepsOwnerGroupBitsAndUserAttributes) {
    const Result copied = CopyEntry(from, "f", to);
    ASSERT_TRUE(copied) << copied;
    EXPECT_EQ(Ownership(box.Path("to")),
              QStringList{"/f 65534:65534 600 user.note=file note trusted.note=(none)"});
}

TEST_F(KeepTest, FolderCopyKeepsThemOnEveryEntryButOtherNamespaces) {
    const Result copied = CopyFolder(from, "d", to, kAll, NeverStop);
    ASSERT_TRUE(copied) << copied;
    EXPECT_EQ(Ownership(box.Path("to")),
              (QStringList{"/d 65534:65534 750 user.note=folder note trusted.note=(none)",
                           "/d/in 65534:65534 640 user.note= trusted.note=(none)",
                           "/d/ln 65534:65534 777",
                           "/d/sub 65534:65534 755 user.note=(none) trusted.note=(none)"}));
}

TEST_F(KeepTest, TargetThatRefusesThemStillTakesTheCopy) {
    SimulateLimits({.noPermissionBits = true, .noOwners = true, .noUserAttributes = true});
    const Result copiedFile = CopyEntry(from, "f", to);
    ASSERT_TRUE(copiedFile) << copiedFile;
    const Result copiedFolder = CopyFolder(from, "d", to, kAll, NeverStop);
    ASSERT_TRUE(copiedFolder) << copiedFolder;
    // What the program made them with: root's, private.
    EXPECT_EQ(Ownership(box.Path("to")),
              (QStringList{"/d 0:0 700 user.note=(none) trusted.note=(none)",
                           "/d/in 0:0 600 user.note=(none) trusted.note=(none)", "/d/ln 0:0 777",
                           "/d/sub 0:0 700 user.note=(none) trusted.note=(none)",
                           "/f 0:0 600 user.note=(none) trusted.note=(none)"}));
    EXPECT_EQ(box.Describe("to"), (QStringList{"d/", "d/in=i@0", "d/ln->in@0", "d/sub/", "f=f@0"}));
}

// ---- Holes ----

constexpr off_t kMiB = 1 << 20;

// Where a sparse file is made and where it is copied to.
enum class Place { Sandbox, Tmpfs };

struct SparseCase {
    const char* name;
    Place from;
    Place to;
    off_t size;
    std::vector<off_t> dataAt;  // 4 KiB of data at each offset
};
KALVEX_NAMED_CASE(SparseCase)

class SparseCopyTest : public testing::TestWithParam<SparseCase> {
protected:
    QString Root(Place place) const {
        return place == Place::Sandbox ? box.Path("disk") : box.Path("tmpfs");
    }

    Sandbox box;
};

TEST_P(SparseCopyTest, HolesStayHolesAndTheContentIsTheSame) {
    const SparseCase& row = GetParam();
    box.Make("disk", {});
    box.Make("tmpfs", {});
    const SmallFileSystem tmpfs(box.Path("tmpfs"), 64 * kMiB);
    if ((row.from == Place::Tmpfs || row.to == Place::Tmpfs) && !tmpfs.Mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    QDir().mkpath(Root(row.from) + "/from");
    QDir().mkpath(Root(row.to) + "/to");
    const QString source = Root(row.from) + "/from/image";
    {
        const int fd = ::open(QFile::encodeName(source).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const QByteArray block(4096, 'd');
        for (const off_t at : row.dataAt) {
            ASSERT_EQ(::pwrite(fd, block.constData(), block.size(), at), block.size());
        }
        ASSERT_EQ(::ftruncate(fd, row.size), 0);
        ::close(fd);
    }
    const struct stat made = StatusOf(source);
    if (made.st_blocks * 512 >= made.st_size) {
        GTEST_SKIP() << "this file system keeps no holes";
    }
    const Folder from = Folder::Open(QFile::encodeName(Root(row.from) + "/from"));
    const Folder to = Folder::Open(QFile::encodeName(Root(row.to) + "/to"));
    const Result copiedImage = CopyEntry(from, "image", to);
    ASSERT_TRUE(copiedImage) << copiedImage;
    const QString copy = Root(row.to) + "/to/image";
    const struct stat copied = StatusOf(copy);
    EXPECT_EQ(copied.st_size, row.size);
    // The data, and at most a few blocks more where the file system allocates in larger units.
    EXPECT_LE(copied.st_blocks * 512, made.st_blocks * 512 + 64 * 1024)
        << "the copy takes " << copied.st_blocks * 512 << " bytes";
    EXPECT_TRUE(Content(copy) == Content(source));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SparseCopyTest,
    testing::Values(
        SparseCase{"hole_at_the_end", Place::Sandbox, Place::Sandbox, 32 * kMiB, {kMiB, 9 * kMiB}},
        SparseCase{
            "data_at_the_end", Place::Sandbox, Place::Sandbox, 32 * kMiB, {0, 32 * kMiB - 4096}},
        SparseCase{"only_a_hole", Place::Sandbox, Place::Sandbox, 32 * kMiB, {}},
        SparseCase{"on_tmpfs", Place::Tmpfs, Place::Tmpfs, 32 * kMiB, {3 * kMiB}},
        SparseCase{"across_file_systems", Place::Tmpfs, Place::Sandbox, 32 * kMiB, {5, 17 * kMiB}}),
    test::kCaseName);

}  // namespace
}  // namespace kalvex::platform
