// Copies onto file systems that lack some calls (simulated).
#include "platform/FileOps.h"
#include "platform/FileSystemAbilities.h"
#include "platform/Folder.h"
#include "platform/SafeWrite.h"
#include "platform/Trash.h"

#include "Sandbox.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {
namespace {

using test::Node;
using test::Sandbox;

constexpr auto kAll = [](const QByteArray&, const EntryStatus&) { return true; };

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
    int error = 0;
    EXPECT_TRUE(CopyEntry(from, "new.txt", to, CopyMode::FailIfExists, error)) << error;
    EXPECT_TRUE(CopyEntry(from, "ln", to, CopyMode::FailIfExists, error)) << error;
    error = 0;
    EXPECT_FALSE(CopyEntry(from, "taken.txt", to, CopyMode::FailIfExists, error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(box.Describe("to"),
              (QStringList{"ln->new.txt@60", "new.txt=new@40", "taken.txt=theirs@0"}));
    EXPECT_TRUE(box.Leftovers().isEmpty());
    EXPECT_EQ(StatusOf(box.Path("to/new.txt")).st_mode & 07777, 0640u);
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
    int error = 0;
    ASSERT_TRUE(CopyFolder(from, "d", to, kAll, error)) << error;
    EXPECT_EQ(box.Describe("to/d"), box.Describe("from/d"));
    // A plain rename would replace an empty folder.
    EXPECT_FALSE(CopyFolder(from, "empty", to, kAll, error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(box.Describe("to/empty"), QStringList{});
    EXPECT_TRUE(box.Leftovers().isEmpty());
}

TEST_P(LimitedFileSystemTest, TrashAndSafeWritesWork) {
    box.Make("r", {{"same", "first"}, {"doc.kvx", "old"}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    int error = 0;
    ASSERT_TRUE(MoveToTrash(folder, "same", error)) << error;
    box.Make("r", {{"same", "second"}});
    ASSERT_TRUE(MoveToTrash(folder, "same", error)) << error;
    EXPECT_EQ(Sandbox::TrashContent(), (QStringList{"same.2=second@0", "same=first@0"}));
    ASSERT_TRUE(WriteFileAtomically(box.NativePath("r/doc.kvx"), "new", error)) << error;
    ASSERT_TRUE(WriteFileAtomicallyIn(folder, "kvx_p.log", "log", error)) << error;
    ASSERT_TRUE(WriteFileAtomicallyIn(folder, "kvx_p.log", "log 2", error)) << error;
    EXPECT_EQ(Content(box.Path("r/doc.kvx")), QByteArray("new"));
    EXPECT_EQ(Content(box.Path("r/kvx_p.log")), QByteArray("log 2"));
    EXPECT_TRUE(box.Leftovers().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, LimitedFileSystemTest,
    testing::Values(LimitCase{"nfs", {.noExclusiveRename = true}},
                    LimitCase{"exfat", {.noExclusiveRename = true, .noHardLinks = true}}),
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
        int error = 0;
        EXPECT_TRUE(CopyEntry(from, QByteArray("f") + QByteArray::number(i), to,
                              CopyMode::FailIfExists, error))
            << error;
    }
    // One RENAME_NOREPLACE and one link, for the first file only.
    EXPECT_EQ(SimulatedFailures(), 2);
    EXPECT_EQ(box.Describe("to").size(), 5);
    SimulateLimits({});
}

}  // namespace
}  // namespace kalvex::platform
