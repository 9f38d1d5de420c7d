// The trash at the top of a file system that other users share, names too long for an info
// file, a file system that cannot take a trash, and the leftovers of interrupted writes.
#include "platform/Folder.h"
#include "platform/TempName.h"
#include "platform/Trash.h"

#include "Faults.h"
#include "OtherUser.h"
#include "Sandbox.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {
namespace {

using test::Sandbox;
using test::SmallFileSystem;

QString HomeTrash() {
    return test::PrivateHome::Path() + "/.local/share/Trash";
}

QByteArray Content(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Every entry below `root`: folders with owner and permission bits, links with their target,
// files with owner; info files as "(info)" with the Path they give.
QStringList Tree(const QString& root) {
    QStringList lines;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(root.size() + 1);
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
            lines << relative + " (gone)";
        } else if (S_ISLNK(st.st_mode)) {
            lines << relative + " -> " + QFile::symLinkTarget(path).mid(root.size() + 1);
        } else if (S_ISDIR(st.st_mode)) {
            lines
                << QString("%1/ %2 %3").arg(relative).arg(st.st_uid).arg(st.st_mode & 07777, 0, 8);
        } else if (path.endsWith(".trashinfo")) {
            const QByteArray info = Content(path);
            const qsizetype start = info.indexOf("Path=");
            lines << relative + " " + info.mid(start, info.indexOf('\n', start) - start);
        } else {
            lines << QString("%1 %2").arg(relative).arg(st.st_uid);
        }
    }
    lines.sort();
    return lines;
}

// ---- A shared file system (mode 1777) where another user was first ----

struct SharedTopCase {
    const char* name;
    const char* planted;  // shell commands the other user ran at the top beforehand
    bool trashed;
    QStringList after;  // the whole file system afterwards
};
KALVEX_NAMED_CASE(SharedTopCase)

class SharedTopTest : public testing::TestWithParam<SharedTopCase> {
protected:
    Sandbox box;
};

TEST_P(SharedTopTest, OnlyTheUsersOwnFoldersTakeTheEntry) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a file system and to act as another user";
    }
    box.Make("shared", {});
    const SmallFileSystem shared(box.Path("shared"), 4 << 20, "mode=1777");
    if (!shared.Mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    const QString planted = test::RunAsOtherUser(box.Path("shared"), GetParam().planted);
    ASSERT_TRUE(planted.isEmpty()) << planted.toStdString();
    // The deleted file sits in a folder that only root may enter.
    box.Make("shared", {{"private/"}, {"private/doc", "secret"}});
    ::chmod(box.NativePath("shared/private").constData(), 0700);
    const Folder folder = Folder::Open(box.NativePath("shared/private"));
    const Result trashed = MoveToTrash(folder, "doc");
    EXPECT_EQ(static_cast<bool>(trashed), GetParam().trashed) << trashed;
    EXPECT_EQ(Tree(box.Path("shared")), GetParam().after);
    EXPECT_TRUE(Tree(HomeTrash() + "/files").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, SharedTopTest,
    testing::Values(
        SharedTopCase{"shared_trash_of_the_administrators_kind",
                      "mkdir -m 1777 .Trash",
                      true,
                      {".Trash/ 65534 1777", ".Trash/0/ 0 700", ".Trash/0/files/ 0 700",
                       ".Trash/0/files/doc 0", ".Trash/0/info/ 0 700",
                       ".Trash/0/info/doc.trashinfo Path=private/doc", "private/ 0 700"}},
        SharedTopCase{
            "user_folder_in_the_shared_trash_is_a_link",
            "mkdir theirs; mkdir -m 1777 .Trash; ln -s ../theirs .Trash/0",
            true,
            {".Trash-0/ 0 700", ".Trash-0/files/ 0 700", ".Trash-0/files/doc 0",
             ".Trash-0/info/ 0 700", ".Trash-0/info/doc.trashinfo Path=private/doc",
             ".Trash/ 65534 1777", ".Trash/0 -> theirs", "private/ 0 700", "theirs/ 65534 755"}},
        SharedTopCase{"user_folder_in_the_shared_trash_is_someone_elses",
                      "mkdir -m 1777 .Trash; mkdir -m 777 .Trash/0",
                      true,
                      {".Trash-0/ 0 700", ".Trash-0/files/ 0 700", ".Trash-0/files/doc 0",
                       ".Trash-0/info/ 0 700", ".Trash-0/info/doc.trashinfo Path=private/doc",
                       ".Trash/ 65534 1777", ".Trash/0/ 65534 777", "private/ 0 700"}},
        SharedTopCase{"shared_trash_without_the_sticky_bit",
                      "mkdir -m 777 .Trash",
                      true,
                      {".Trash-0/ 0 700", ".Trash-0/files/ 0 700", ".Trash-0/files/doc 0",
                       ".Trash-0/info/ 0 700", ".Trash-0/info/doc.trashinfo Path=private/doc",
                       ".Trash/ 65534 777", "private/ 0 700"}},
        SharedTopCase{
            "shared_trash_is_a_link",
            "mkdir -m 1777 theirs; ln -s theirs .Trash",
            true,
            {".Trash -> theirs", ".Trash-0/ 0 700", ".Trash-0/files/ 0 700", ".Trash-0/files/doc 0",
             ".Trash-0/info/ 0 700", ".Trash-0/info/doc.trashinfo Path=private/doc",
             "private/ 0 700", "theirs/ 65534 1777"}},
        SharedTopCase{
            "own_trash_is_a_link",
            "mkdir theirs; ln -s theirs .Trash-0",
            false,
            {".Trash-0 -> theirs", "private/ 0 700", "private/doc 0", "theirs/ 65534 755"}},
        SharedTopCase{"own_trash_is_someone_elses",
                      "mkdir -m 777 .Trash-0",
                      false,
                      {".Trash-0/ 65534 777", "private/ 0 700", "private/doc 0"}},
        SharedTopCase{"both_planted",
                      "mkdir -m 1777 theirs; mkdir -m 1777 .Trash; ln -s ../theirs .Trash/0; "
                      "ln -s theirs .Trash-0",
                      false,
                      {".Trash-0 -> theirs", ".Trash/ 65534 1777", ".Trash/0 -> theirs",
                       "private/ 0 700", "private/doc 0", "theirs/ 65534 1777"}}),
    test::kCaseName);

// A small file system of its own on the sandbox's folder "top", as a stick or a disk.
class OwnTopTest : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root to mount a file system";
        }
        box.Make("top", {});
        top = std::make_unique<SmallFileSystem>(box.Path("top"), 4 << 20);
        if (!top->Mounted()) {
            GTEST_SKIP() << "cannot mount a tmpfs here";
        }
    }

    Sandbox box;
    std::unique_ptr<SmallFileSystem> top;
};

TEST_F(OwnTopTest, OwnTrashLeftOpenIsClosedBeforeUse) {
    box.Make("top", {{".Trash-0/"}, {"doc", "d"}});
    ::chmod(box.NativePath("top/.Trash-0").constData(), 0755);
    const Folder folder = Folder::Open(box.NativePath("top"));
    const Result trashed = MoveToTrash(folder, "doc");
    ASSERT_TRUE(trashed) << trashed;
    EXPECT_EQ(Tree(box.Path("top")),
              (QStringList{".Trash-0/ 0 700", ".Trash-0/files/ 0 700", ".Trash-0/files/doc 0",
                           ".Trash-0/info/ 0 700", ".Trash-0/info/doc.trashinfo Path=doc"}));
}

TEST_F(OwnTopTest, FileSystemThatCannotTakeATrashKeepsTheEntry) {
    box.Make("top", {{"doc", "d"}});
    ASSERT_TRUE(top->MakeReadOnly());
    const Folder folder = Folder::Open(box.NativePath("top"));
    const Result trashed = MoveToTrash(folder, "doc");
    EXPECT_FALSE(trashed);
    EXPECT_EQ(trashed.Error(), EROFS);
    EXPECT_EQ(box.Describe("top"), QStringList{"doc=d@0"});
}

// ---- Names too long for "<name>.trashinfo" ----

struct LongNameCase {
    const char* name;
    QByteArray entry;
    QByteArray inTrash;  // the expected name in the trash's files folder
};
KALVEX_NAMED_CASE(LongNameCase)

QByteArray Repeated(const char* part, int times) {
    return QByteArray(part).repeated(times);
}

class LongNameTest : public testing::TestWithParam<LongNameCase> {
protected:
    void SetUp() override { Sandbox::EmptyTrash(); }
    void TearDown() override { Sandbox::EmptyTrash(); }
};

TEST_P(LongNameTest, TrashedUnderANameWhoseInfoFileFits) {
    const LongNameCase& row = GetParam();
    const Sandbox box;
    box.Make("r", {});
    const QString path = box.Path("r/") + QFile::decodeName(row.entry);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << row.entry.size();
        file.write("content");
    }
    const Folder folder = Folder::Open(box.NativePath("r"));
    const Result trashed = MoveToTrash(folder, row.entry);
    ASSERT_TRUE(trashed) << trashed;
    EXPECT_TRUE(box.Describe("r").isEmpty());
    EXPECT_EQ(QDir(HomeTrash() + "/files").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QFile::decodeName(row.inTrash)});
    EXPECT_LE(row.inTrash.size() + 10, 255);
    EXPECT_EQ(Content(HomeTrash() + "/files/" + QFile::decodeName(row.inTrash)),
              QByteArray("content"));
    const QByteArray info =
        Content(HomeTrash() + "/info/" + QFile::decodeName(row.inTrash) + ".trashinfo");
    EXPECT_TRUE(info.contains("\nPath=" + QFile::encodeName(path).toPercentEncoding("/") + "\n"))
        << info.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Table, LongNameTest,
    testing::Values(
        LongNameCase{"fits_exactly", Repeated("a", 245), Repeated("a", 245)},
        LongNameCase{"one_byte_too_long", Repeated("a", 246), Repeated("a", 243) + "~1"},
        LongNameCase{"longest_with_an_extension", Repeated("b", 251) + ".txt",
                     Repeated("b", 239) + "~1.txt"},
        LongNameCase{"long_extension_is_cut_too", "x." + Repeated("e", 253),
                     "x." + Repeated("e", 241) + "~1"},
        // Two-byte characters: the cut falls between two of them, never inside one.
        LongNameCase{"utf8", Repeated("\xc3\xa9", 127) + "x", Repeated("\xc3\xa9", 121) + "~1"}),
    test::kCaseName);

TEST(LongName, SameLongNameTwiceGetsTwoPlaces) {
    Sandbox::EmptyTrash();
    const Sandbox box;
    const QString name(250, 'z');
    box.Make("r", {});
    const Folder folder = Folder::Open(box.NativePath("r"));
    for (const QByteArray content : {"first", "second"}) {
        box.Make("r", {{name, content}});
        const Result trashed = MoveToTrash(folder, QFile::encodeName(name));
        ASSERT_TRUE(trashed) << trashed;
    }
    EXPECT_EQ(Sandbox::TrashContent(),
              (QStringList{QString(243, 'z') + "~1=first@0", QString(243, 'z') + "~2=second@0"}));
    Sandbox::EmptyTrash();
}

// ---- Leftovers of interrupted writes ----

class LeftoverTest : public testing::Test {
protected:
    void SetUp() override { Sandbox::EmptyTrash(); }
    void TearDown() override { Sandbox::EmptyTrash(); }
};

TEST_F(LeftoverTest, GoesToTheTrashWithItsContent) {
    const Sandbox box;
    const QByteArray folderName = NewTempName();
    const QByteArray fileName = NewTempName();
    box.Make("r", {{QFile::decodeName(folderName) + "/"},
                   {QFile::decodeName(folderName) + "/document", "kept", 4},
                   {QFile::decodeName(fileName), "half", 6},
                   {"report.tmp", "r"}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    const Result folderTrashed = TrashLeftover(folder, folderName);
    EXPECT_TRUE(folderTrashed) << folderTrashed;
    const Result fileTrashed = TrashLeftover(folder, fileName);
    EXPECT_TRUE(fileTrashed) << fileTrashed;
    const Result notOurs = TrashLeftover(folder, "report.tmp");
    EXPECT_FALSE(notOurs);
    EXPECT_EQ(notOurs.Error(), EINVAL);
    EXPECT_EQ(box.Describe("r"), QStringList{"report.tmp=r@0"});
    QStringList expected{QFile::decodeName(folderName) + "/",
                         QFile::decodeName(folderName) + "/document=kept@4",
                         QFile::decodeName(fileName) + "=half@6"};
    expected.sort();
    EXPECT_EQ(Sandbox::TrashContent(), expected);
}

}  // namespace
}  // namespace kalvex::platform
