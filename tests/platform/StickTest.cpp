// Copies, safe writes and the trash on a real exFAT stick (through FUSE): no RENAME_NOREPLACE,
// no hard links, no permission bits, owners or extended attributes, and names that differ
// only in letter case are one name.
#include "platform/FileOps.h"
#include "platform/Folder.h"
#include "platform/SafeWrite.h"
#include "platform/Trash.h"

#include "ExfatStick.h"
#include "Faults.h"
#include "OtherUser.h"
#include "Sandbox.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kalvex::platform {
namespace {

using test::Node;
using test::Sandbox;

constexpr auto kAll = [](const QByteArray&, const EntryStatus&) { return true; };
constexpr auto NeverStop = [] { return false; };
constexpr int kStickMebibytes = 16;

QByteArray Content(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The stick's trash: what its files folder holds, and the Path of each info file.
QStringList TrashOnStick(const QString& stick) {
    const QString trash = stick + "/.Trash-" + QString::number(::geteuid());
    QStringList lines;
    QDirIterator it(trash, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(trash.size() + 1);
        if (path.endsWith(".trashinfo")) {
            const QByteArray info = Content(path);
            const qsizetype start = info.indexOf("Path=");
            lines << relative + " " + info.mid(start, info.indexOf('\n', start) - start);
        } else {
            lines << relative + (QFileInfo(path).isDir() ? "/" : "=" + Content(path));
        }
    }
    lines.sort();
    return lines;
}

class StickTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(stick.Broken()) << stick.Reason().toStdString();
        if (!stick.Mounted()) {
            GTEST_SKIP() << stick.Reason().toStdString();
        }
        Sandbox::EmptyTrash();
        onStick = Folder::Open(QFile::encodeName(stick.Path()));
        ASSERT_TRUE(onStick.IsOpen());
    }
    void TearDown() override { Sandbox::EmptyTrash(); }

    Sandbox box;
    test::ExfatStick stick{box.Path("stick"), kStickMebibytes};
    Folder onStick;
};

TEST_F(StickTest, FileCopiesAreCommittedAndNeverReplaceANameThatFoldsToTheirs) {
    box.Make("from", {{"new.txt", "new", 40}, {"Taken.txt", "mine", 50}});
    // What the stick cannot keep does not fail the copy.
    if (::geteuid() == 0) {
        ::chown(box.NativePath("from/new.txt").constData(), test::kOtherUser, test::kOtherUser);
    }
    ::setxattr(box.NativePath("from/new.txt").constData(), "user.note", "n", 1, 0);
    box.Make("stick", {{"TAKEN.TXT", "theirs", 0}});
    const Folder from = Folder::Open(box.NativePath("from"));
    const Result copied = CopyEntry(from, "new.txt", onStick);
    EXPECT_TRUE(copied) << copied;
    const Result overTaken = CopyEntry(from, "Taken.txt", onStick);
    EXPECT_FALSE(overTaken);
    EXPECT_EQ(overTaken.Error(), EEXIST);
    EXPECT_FALSE(CopyEntry(from, "new.txt", onStick));
    EXPECT_EQ(box.Describe("stick"), (QStringList{"TAKEN.TXT=theirs@0", "new.txt=new@40"}));
    EXPECT_TRUE(box.Leftovers("stick").isEmpty());
}

TEST_F(StickTest, FolderCopiesAreCommittedWhole) {
    box.Make("from", {{"d/"},
                      {"d/a.txt", "a", 10},
                      {"d/sub/"},
                      {"d/sub/b.txt", "b", 20},
                      {"d/sub/deeper/"},
                      {"d/sub/deeper/c.txt", "c", 30},
                      {"e/"},
                      {"e/x", "x"}});
    box.Make("stick", {{"E/"}});
    const Folder from = Folder::Open(box.NativePath("from"));
    const Result copied = CopyFolder(from, "d", onStick, kAll, NeverStop);
    ASSERT_TRUE(copied) << copied;
    EXPECT_EQ(box.Describe("stick/d"), box.Describe("from/d"));
    const Result overTaken = CopyFolder(from, "e", onStick, kAll, NeverStop);
    EXPECT_FALSE(overTaken);
    EXPECT_EQ(overTaken.Error(), EEXIST);
    EXPECT_EQ(box.Describe("stick/E"), QStringList{});
    EXPECT_TRUE(box.Leftovers("stick").isEmpty());
}

TEST_F(StickTest, SafeWritesMakeAndReplaceTheLogAndTheProject) {
    for (const QByteArray content : {"first", "second"}) {
        const Result log = WriteFileAtomicallyIn(onStick, "kvx_proj.log", content + "\r\n");
        ASSERT_TRUE(log) << log;
        const Result project = WriteFileAtomically(QFile::encodeName(stick.Path() + "/proj.kvx"),
                                                   "[General]\n" + content);
        ASSERT_TRUE(project) << project;
    }
    EXPECT_EQ(Content(stick.Path() + "/kvx_proj.log"), QByteArray("second\r\n"));
    EXPECT_EQ(Content(stick.Path() + "/proj.kvx"), QByteArray("[General]\nsecond"));
    EXPECT_TRUE(box.Leftovers("stick").isEmpty());
}

TEST_F(StickTest, DeletedEntriesGoToTheTrashAtTheTopOfTheStick) {
    box.Make("stick", {{"sub/"}, {"sub/doc", "first"}, {"sub/dir/"}, {"sub/dir/x", "x"}});
    const Folder sub = onStick.OpenChild("sub");
    const Result doc = MoveToTrash(sub, "doc");
    ASSERT_TRUE(doc) << doc;
    const Result dir = MoveToTrash(sub, "dir");
    ASSERT_TRUE(dir) << dir;
    box.Make("stick", {{"sub/doc", "second"}});
    const Result docAgain = MoveToTrash(sub, "doc");
    ASSERT_TRUE(docAgain) << docAgain;
    EXPECT_EQ(box.Describe("stick/sub"), QStringList{});
    EXPECT_EQ(
        TrashOnStick(stick.Path()),
        (QStringList{"files/", "files/dir/", "files/dir/x=x", "files/doc.2=second",
                     "files/doc=first", "info/", "info/dir.trashinfo Path=sub/dir",
                     "info/doc.2.trashinfo Path=sub/doc", "info/doc.trashinfo Path=sub/doc"}));
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
}

enum class Lack { ReadOnly, FullWithoutTrash, FullWithTrash };

struct CannotTakeCase {
    const char* name;
    Lack lack;
};
KALVEX_NAMED_CASE(CannotTakeCase)

class StickCannotTakeTest : public StickTest, public testing::WithParamInterface<CannotTakeCase> {};

TEST_P(StickCannotTakeTest, EntryStaysAndTheMoveFails) {
    box.Make("stick", {{"doc", "keep me"}, {"earlier", "e"}});
    if (GetParam().lack == Lack::FullWithTrash) {
        const Result earlier = MoveToTrash(onStick, "earlier");
        ASSERT_TRUE(earlier) << earlier;
    }
    if (GetParam().lack == Lack::ReadOnly) {
        ASSERT_TRUE(stick.SetReadOnly(true));
    } else {
        test::FillUp(stick.Path());
    }
    const Result trashed = MoveToTrash(onStick, "doc");
    EXPECT_FALSE(trashed);
    EXPECT_EQ(Content(stick.Path() + "/doc"), QByteArray("keep me"));
    if (GetParam().lack == Lack::ReadOnly) {
        EXPECT_EQ(trashed.Error(), EROFS);
        EXPECT_TRUE(stick.SetReadOnly(false));
    } else {
        EXPECT_EQ(trashed.Error(), ENOSPC);
    }
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Table, StickCannotTakeTest,
                         testing::Values(CannotTakeCase{"read_only", Lack::ReadOnly},
                                         CannotTakeCase{"full", Lack::FullWithoutTrash},
                                         CannotTakeCase{"full_with_a_trash", Lack::FullWithTrash}),
                         test::kCaseName);

}  // namespace
}  // namespace kalvex::platform
