// The profile run and the worker around it: folder checks, the log-file question, the order
// of profiles, abort, and the new log file.
#include "SyncFixture.h"

#include "Faults.h"

#include <QThread>

namespace kalvex::test {
namespace {

const QString kMissingLog = QStringLiteral(
    "Confirmation: Couldn't find the previous log file.\nTherefore, no files or folders will be "
    "deleted.\n\nDo you want to continue?");

class ProfileRunTest : public SyncFixture {
protected:
    void AddProfile(const QString& name, const QString& a, const QString& b, bool checked = true) {
        box.Make(a, {});
        box.Make(b, {});
        frontend.profiles.append(Profile{checked, name, box.Path(a), box.Path(b)});
    }
};

TEST_F(ProfileRunTest, MissingFoldersAreNamedInTheOrderAThenB) {
    const QString missing = box.Path("nowhere");
    frontend.profiles = {Profile{true, "both", missing + "A", missing + "B"}};
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages,
              QStringList{"Error!: Couldn't find the parent folder:" + missing + "A/"});
    EXPECT_EQ(frontend.rows, QStringList{"Done."});
    EXPECT_FALSE(frontend.completed);

    frontend.messages.clear();
    frontend.profiles = {Profile{true, "b", box.Path("A"), missing + "B"}};
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages,
              QStringList{"Error!: Couldn't find the parent folder:" + missing + "B/"});
}

TEST_F(ProfileRunTest, EmptyFolderPathNeverMeansTheRootOfTheFileSystem) {
    box.Make("B", {{"f", "x"}});
    frontend.profiles = {Profile{true, "empty", QString(), box.Path("B")}};
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages, QStringList{"Error!: Couldn't find the parent folder:/"});
    EXPECT_EQ(SideB(), QStringList{"f=x@0"});
}

TEST_F(ProfileRunTest, ProfileThatMayHaveBeenCutIsRefusedAndTouchesNothing) {
    box.Make("A", {{"a", "1"}});
    frontend.profiles[0].MayBeCut = true;
    AddProfile("Second", "C", "D");
    box.Make("C", {{"c", "1"}});
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages,
              QStringList{"Error!: The profile \"Test\" was not run: its name or a folder in the "
                          "project file is 2047 bytes or longer and may have been cut."});
    EXPECT_EQ(frontend.rows, QStringList{"Done."});
    EXPECT_TRUE(SideB().isEmpty());
    EXPECT_TRUE(box.Describe("D").isEmpty());
    EXPECT_EQ(Log(), QByteArray("(none)"));
    EXPECT_FALSE(frontend.completed);
}

TEST_F(ProfileRunTest, FileInPlaceOfAFolderIsMissing) {
    box.Make("", {{"plain", "x"}});
    frontend.profiles = {Profile{true, "p", box.Path("plain"), box.Path("B")}};
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages,
              QStringList{"Error!: Couldn't find the parent folder:" + box.Path("plain") + "/"});
}

struct RootsCase {
    const char* name;
    const char* a;  // Directory A and Directory B below the sandbox
    const char* b;
    bool refused;
};
KALVEX_NAMED_CASE(RootsCase)

class NestedRootsTest : public SyncFixture, public testing::WithParamInterface<RootsCase> {};

TEST_P(NestedRootsTest, FoldersThatHoldEachOtherAreRefusedBeforeAnythingIsTouched) {
    box.Make("A", {{"inner/"}, {"inner/deeper/"}, {"a", "1"}, {"toB", {}, 0, box.NativePath("B")}});
    box.Make("B", {{"inner/"}, {"b", "2"}});
    box.Make("AB", {});
    box.Make("", {{"toA", {}, 0, box.NativePath("A")},
                  {"toInner", {}, 0, box.NativePath("A/inner")},
                  {"toB", {}, 0, box.NativePath("B")}});
    const QString a = box.Path(GetParam().a);
    const QString b = box.Path(GetParam().b);
    frontend.profiles = {Profile{true, "Test", a, b}};
    const QStringList before = box.Describe("");
    RunToEnd(frontend);
    const QString refusal =
        "Error!: Directory A and Directory B must be two separate folders, "
        "neither inside the other.\nDirectory A: " +
        a + "/\nDirectory B: " + b + "/";
    if (GetParam().refused) {
        EXPECT_EQ(frontend.messages, QStringList{refusal});
        EXPECT_EQ(frontend.rows, QStringList{"Done."});
        EXPECT_EQ(box.Describe(""), before);
        EXPECT_FALSE(frontend.completed);
    } else {
        EXPECT_FALSE(frontend.messages.contains(refusal));
        EXPECT_TRUE(frontend.completed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, NestedRootsTest,
    testing::Values(RootsCase{"same_folder", "A", "A", true},
                    RootsCase{"same_with_a_trailing_separator", "A/", "A", true},
                    RootsCase{"same_through_a_dot_segment", "A", "./A", true},
                    RootsCase{"same_through_dot_dot", "A/inner/..", "A", true},
                    RootsCase{"same_through_a_link", "toA", "A", true},
                    RootsCase{"b_inside_a", "A", "A/inner", true},
                    RootsCase{"b_deep_inside_a", "A", "A/inner/deeper/", true},
                    RootsCase{"a_inside_b", "B/inner", "B", true},
                    RootsCase{"a_inside_b_spelled_with_dot_dot", "A/../B/inner", "B/./", true},
                    RootsCase{"b_inside_a_through_a_link", "A", "toInner", true},
                    RootsCase{"a_inside_b_through_a_link_on_the_way", "toB/inner", "B", true},
                    RootsCase{"siblings_sharing_a_prefix", "A", "AB", false},
                    RootsCase{"b_named_through_a_link_in_a", "A", "A/toB", false}),
    kCaseName);

TEST_F(ProfileRunTest, FileSystemMountedInsideDirectoryAIsInsideIt) {
    box.Make("A", {{"drive/"}, {"a", "1"}});
    const SmallFileSystem drive(box.Path("A/drive"), 1 << 20);
    if (!drive.Mounted()) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root and tmpfs)";
    }
    box.Make("A/drive", {{"d", "2"}});
    frontend.profiles = {Profile{true, "Test", box.Path("A/drive"), box.Path("A")}};
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages.size(), 1);
    EXPECT_TRUE(frontend.messages.value(0).startsWith("Error!: Directory A and Directory B must"));
    EXPECT_EQ(box.Describe("A"), (QStringList{"a=1@0", "drive/", "drive/d=2@0"}));
}

TEST_F(ProfileRunTest, TrailingSeparatorGivesTwoAndEverythingStillWorks) {
    box.Make("A", {{"f", "x"}});
    frontend.profiles = {Profile{true, "slash", box.Path("A") + "/", box.Path("B") + "/"}};
    RunToEnd(frontend);
    EXPECT_EQ(SideB(), QStringList{"f=x@0"});
    EXPECT_TRUE(QFile::exists(box.Path("A/kvx_proj.log")));
}

TEST_F(ProfileRunTest, NoToTheMissingLogQuestionEndsTheWholeRun) {
    box.Make("A", {{"f", "x"}});
    AddProfile("Second", "C", "D");
    frontend.answers = {Answer::No};
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages, QStringList{kMissingLog});
    EXPECT_EQ(frontend.rows, (QStringList{Header(), "Done."}));
    EXPECT_TRUE(SideB().isEmpty());
    EXPECT_EQ(Log(), QByteArray("(none)"));
    EXPECT_FALSE(frontend.completed);
}

TEST_F(ProfileRunTest, YesToTheQuestionCopiesBothWaysAndDeletesNothing) {
    box.Make("A", {{"a", "1"}});
    box.Make("B", {{"b", "2"}});
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages, QStringList{kMissingLog});
    EXPECT_EQ(SideA(), (QStringList{"a=1@0", "b=2@0"}));
    EXPECT_EQ(SideB(), (QStringList{"a=1@0", "b=2@0"}));
    EXPECT_EQ(Log(), QByteArray("a\r\nb\r\n"));
    EXPECT_TRUE(frontend.completed);
}

TEST_F(ProfileRunTest, EmptyLogFileAsksNothingAndDeletesNothing) {
    box.Make("A", {{"a", "1"}});
    WriteLog({});
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.messages.isEmpty());
    EXPECT_EQ(SideB(), QStringList{"a=1@0"});
}

TEST_F(ProfileRunTest, CheckedProfilesRunTopToBottomAndTheFirstFailureStops) {
    AddProfile("Unchecked", "C", "D", false);
    AddProfile("Second", "E", "F");
    frontend.profiles.append(Profile{true, "Broken", box.Path("none"), box.Path("F")});
    AddProfile("Never", "G", "H");
    box.Make("A", {{"one", "1"}});
    box.Make("E", {{"two", "2"}});
    box.Make("C", {{"untouched", "3"}});
    RunToEnd(frontend);
    EXPECT_EQ(frontend.rows,
              (QStringList{Header("Test"), Row("one", T(0), ">>", "-", 1), Header("Second"),
                           Row("two", T(0), ">>", "-", 1), "Done."}));
    EXPECT_TRUE(box.Describe("D").isEmpty());
    EXPECT_FALSE(frontend.completed);
}

TEST_F(ProfileRunTest, NoCheckedProfileShowsOnlyDone) {
    frontend.profiles[0].Checked = false;
    RunToEnd(frontend);
    EXPECT_EQ(frontend.rows, QStringList{"Done."});
    EXPECT_TRUE(frontend.completed);
}

TEST_F(ProfileRunTest, SelectedModeRunsTheSelectedRowCheckedOrNot) {
    AddProfile("Picked", "C", "D", false);
    box.Make("C", {{"c", "1"}});
    box.Make("A", {{"a", "1"}});
    frontend.selected = 1;
    RunToEnd(frontend, false);
    EXPECT_EQ(frontend.rows,
              (QStringList{Header("Picked"), Row("c", T(0), ">>", "-", 1), "Done."}));
    EXPECT_TRUE(SideB().isEmpty());

    frontend.rows.clear();
    frontend.selected = -1;
    RunToEnd(frontend, false);
    EXPECT_EQ(frontend.rows, QStringList{"Done."});
}

TEST_F(ProfileRunTest, RowMovedWhileTheRunReadsItRunsAsItWasRead) {
    box.Make("A", {{"a", "from A"}});
    AddProfile("Unchecked", "C", "D", false);
    box.Make("C", {{"c", "from C"}});
    WriteLog({});
    // Move Down on the first row, just after the run read it.
    frontend.afterProfileRead = [this](int index) {
        if (index == 0) {
            frontend.afterProfileRead = nullptr;
            frontend.profiles.swapItemsAt(0, 1);
        }
    };
    RunToEnd(frontend);
    EXPECT_EQ(frontend.rows.value(0), Header("Test"));
    EXPECT_EQ(SideB(), QStringList{"a=from A@0"});
    EXPECT_TRUE(box.Describe("D").isEmpty()) << "the unchecked row never runs";
}

TEST_F(ProfileRunTest, AbortInTheFirstPassStopsAtTheNextFileWithoutASecondPassOrLog) {
    box.Make("A", {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    box.Make("B", {{"only_b", "x"}});
    WriteLog({"old"});
    AddProfile("Second", "C", "D");
    frontend.afterRow = [](const LogRow&) { QThread::currentThread()->requestInterruption(); };
    RunToEnd(frontend);
    EXPECT_EQ(frontend.rows, (QStringList{Header(), Row("1", T(0), ">>", "-", 1), "Done."}));
    EXPECT_EQ(SideB(), (QStringList{"1=a@0", "only_b=x@0"}));
    EXPECT_EQ(RawLog(), QByteArray("old\r\n"));
    EXPECT_FALSE(frontend.completed);
}

TEST_F(ProfileRunTest, AbortInTheSecondPassKeepsTheFirstPassAndTheOldLog) {
    box.Make("A", {{"a", "a"}});
    box.Make("B", {{"b1", "1"}, {"b2", "2"}});
    WriteLog({"old"});
    frontend.afterRow = [](const LogRow& row) {
        if (row.action == u"<<") {
            QThread::currentThread()->requestInterruption();
        }
    };
    RunToEnd(frontend);
    EXPECT_EQ(SideB(), (QStringList{"a=a@0", "b1=1@0", "b2=2@0"}));
    EXPECT_EQ(SideA(), (QStringList{"a=a@0", "b1=1@0"}));
    EXPECT_EQ(RawLog(), QByteArray("old\r\n"));
    EXPECT_TRUE(box.Leftovers().isEmpty()) << "the new log, half written";
}

TEST_F(ProfileRunTest, AbortIsNotNoticedBeforeAFolderOnlyBeforeAFile) {
    box.Make("A", {{"d1/"}, {"d2/"}, {"f", "x"}});
    WriteLog({});
    frontend.afterFolder = [](const QString&) { QThread::currentThread()->requestInterruption(); };
    RunToEnd(frontend);
    // Both folders are copied; the file that follows them is not.
    EXPECT_EQ(SideB(), (QStringList{"d1/", "d2/"}));
    EXPECT_FALSE(frontend.completed);
}

TEST_F(ProfileRunTest, LogThatCannotBeWrittenDoesNotStopTheRun) {
    // A folder where the log file should go: the write fails, unreported.
    box.Make("A", {{"kvx_proj.log/"}, {"a", "1"}});
    AddProfile("Second", "C", "D");
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.completed);
    EXPECT_EQ(frontend.rows.count(Header("Second")), 1);
    EXPECT_EQ(frontend.messages, (QStringList{kMissingLog, kMissingLog}));
}

}  // namespace
}  // namespace kalvex::test
