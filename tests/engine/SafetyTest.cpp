// What a run must never do: delete for good, delete or overwrite what it cannot compare,
// follow links, or take names that its log file cannot hold.
#include "SyncFixture.h"

#include "Faults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::test {
namespace {

class SafetyTest : public SyncFixture {};

TEST_F(SafetyTest, CopyIntoAFolderThatRefusesWritesIsReported) {
    box.Make("A", {{"d/"}, {"d/x", "x"}, {"f", "y"}});
    WriteLog({});
    const ImmutableFolder locked(box.Path("B"));
    if (!locked.Supported()) {
        GTEST_SKIP() << "the file system cannot make a folder immutable";
    }
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages,
              (QStringList{"Error!: Failed to copy: d", "Error!: Failed to copy: f"}));
    EXPECT_EQ(frontend.rows, (QStringList{Header("Test", 1), Row("d", "*", ">>", "-", 0),
                                          Row("f", T(0), ">>", "-", 1), "Done."}));
}

TEST_F(SafetyTest, DeletionThatFailsIsReportedAndTheEntryStays) {
    box.Make("A", {{"f", "x"}, {"d/"}, {"both", "b"}});
    box.Make("B", {{"both", "b"}});
    WriteLog({"f", "d", "both"});
    const ImmutableFolder locked(box.Path("A"));
    if (!locked.Supported()) {
        GTEST_SKIP() << "the file system cannot make a folder immutable";
    }
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages,
              (QStringList{"Error!: Failed to delete: d", "Error!: Failed to delete: f"}));
    EXPECT_EQ(SideA(), (QStringList{"both=b@0", "d/", "f=x@0"}));
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
}

TEST_F(SafetyTest, WithoutATrashNothingIsDeletedForGood) {
    box.Make("A", {{"f", "x"}, {"both", "b"}});
    box.Make("B", {{"both", "b"}});
    WriteLog({"f", "both"});
    box.Make("nohome", {{"Trash", "a file where the trash should be"}});
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", box.NativePath("nohome"));
    RunToEnd(frontend);
    qputenv("XDG_DATA_HOME", saved);
    EXPECT_EQ(frontend.messages, QStringList{"Error!: Failed to delete: f"});
    EXPECT_EQ(SideA(), (QStringList{"both=b@0", "f=x@0"}));
    // Not deleted and not on the other side: not listed, so the next run copies it back.
    EXPECT_EQ(Log(), QByteArray("both\r\n"));
}

TEST_F(SafetyTest, TargetSavedWhileTheRunGoesOnIsNeitherOverwrittenNorLost) {
    box.Make("A", {{"a_big", "a new file"}, {"z_doc", "edited in A", 600}});
    box.Make("B", {{"z_doc", "in step", 0}});
    WriteLog({"z_doc"});
    // While the first file is copied, the user saves the document on B.
    frontend.afterRow = [this](const LogRow& row) {
        if (row.fileName == "a_big") {
            box.Make("B", {{"z_doc", "saved in B", 1200}});
        }
    };
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages, QStringList{"Error!: Failed to copy: z_doc"});
    EXPECT_EQ(frontend.rows, (QStringList{Header(), Row("a_big", T(0), ">>", "-", 1),
                                          Row("z_doc", T(600), ">", T(0), 1),
                                          Row("z_doc", T(600), "<", T(1200), 1), "Done."}));
    // The second pass reads the level again and takes the save as the newer version.
    EXPECT_EQ(SideB(), (QStringList{"a_big=a new file@0", "z_doc=saved in B@1200"}));
    EXPECT_EQ(SideA(), SideB());
    EXPECT_EQ(Sandbox::TrashContent(), QStringList{"z_doc=edited in A@600"});
}

TEST_F(SafetyTest, EntryWrittenAfterItWasListedIsNotTrashed) {
    box.Make("A", {{"a_new", "n"}, {"both", "b"}, {"z_listed", "old"}});
    box.Make("B", {{"both", "b"}});
    WriteLog({"both", "z_listed"});
    frontend.afterRow = [this](const LogRow& row) {
        if (row.fileName == "a_new") {
            box.Make("A", {{"z_listed", "written during the run", 60}});
        }
    };
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages, QStringList{"Error!: Failed to delete: z_listed"});
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
    EXPECT_EQ(Log(), "a_new\r\nboth\r\n");

    // Not listed now: the next run copies it.
    frontend.afterRow = nullptr;
    frontend.messages.clear();
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.messages.isEmpty());
    EXPECT_EQ(SideB(),
              (QStringList{"a_new=n@0", "both=b@0", "z_listed=written during the run@60"}));
}

struct ConflictCase {
    const char* name;
    std::vector<Node> a;
    std::vector<Node> b;
    QStringList log;
};
KALVEX_NAMED_CASE(ConflictCase)

class KindConflictTest : public SyncFixture, public testing::WithParamInterface<ConflictCase> {};

TEST_P(KindConflictTest, NeitherSideIsTouchedAndTheNameIsReportedInBothPasses) {
    box.Make("A", GetParam().a);
    box.Make("B", GetParam().b);
    WriteLog(GetParam().log);
    const QStringList beforeA = SideA();
    const QStringList beforeB = SideB();
    RunToEnd(frontend);
    EXPECT_EQ(SideA(), beforeA);
    EXPECT_EQ(SideB(), beforeB);
    EXPECT_EQ(frontend.messages,
              (QStringList{"Error!: Failed to copy: x", "Error!: Failed to copy: x"}));
    EXPECT_EQ(Log(), QByteArray());
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, KindConflictTest,
    testing::Values(ConflictCase{"file_and_folder", {{"x", "file"}}, {{"x/"}, {"x/in", "i"}}, {}},
                    ConflictCase{"folder_and_file_listed", {{"x/"}}, {{"x", "file"}}, {"x"}},
                    ConflictCase{"file_and_link", {{"x", "file"}}, {{"x", {}, 0, "elsewhere"}}, {}},
                    ConflictCase{"folder_and_link", {{"x/"}}, {{"x", {}, 0, "elsewhere"}}, {"x"}}),
    kCaseName);

TEST_F(SafetyTest, NamesALogFileCannotHoldAreLeftAlone) {
    box.Make("A", {{"back\\slash", "1"},
                   {"line\nfeed", "2"},
                   {"ok", "3"},
                   {"d/"},
                   {"d/carriage\rreturn", "4"},
                   {"d/fine", "5"}});
    WriteLog({});
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages, (QStringList{"Error!: Failed to copy: back\\slash",
                                              "Error!: Failed to copy: line\nfeed"}));
    // The folder is copied whole without the name it could not list.
    EXPECT_EQ(SideB(), (QStringList{"d/", "d/fine=5@0", "ok=3@0"}));
    EXPECT_EQ(Log(), QByteArray("d\r\nd\\fine\r\nok\r\n"));
}

TEST_F(SafetyTest, LinksAreNeverFollowed) {
    box.Make("outside", {{"secret", "s"}});
    box.Make("A",
             {{"out", {}, 0, QFile::encodeName(box.Path("outside"))}, {"loop", {}, 0, "loop"}});
    WriteLog({});
    RunToEnd(frontend);
    EXPECT_EQ(SideB(), (QStringList{"loop->loop@0", "out->" + box.Path("outside") + "@0"}));
    EXPECT_EQ(frontend.folders, QStringList{});
    EXPECT_EQ(box.Describe("outside"), QStringList{"secret=s@0"});

    // Listed and gone from B: the link goes to the trash, what it leads to stays.
    QFile::remove(box.Path("B/out"));
    WriteLog({"out"});
    RunToEnd(frontend);
    EXPECT_EQ(box.Describe("outside"), QStringList{"secret=s@0"});
    EXPECT_EQ(Sandbox::TrashContent(), QStringList{"out->" + box.Path("outside") + "@0"});
}

// They may be a user's entries that only look like leftovers: never removed for good.
TEST_F(SafetyTest, LeftoversOfSafeWritesAreNeverTakenAndGoToTheTrash) {
    box.Make("A", {{".kvx~0123456789abcdef.tmp", "half"},
                   {".kvx~fedcba9876543210.tmp/"},
                   {".kvx~fedcba9876543210.tmp/part", "p"},
                   {"d/"},
                   {"d/.kvx~00000000000000aa.tmp", "half"}});
    box.Make("B", {{"d/"}, {".kvx~00000000000000bb.tmp", "on b"}});
    WriteLog({});
    RunToEnd(frontend);
    EXPECT_EQ(SideA(), QStringList{"d/"});
    EXPECT_EQ(SideB(), QStringList{"d/"});
    EXPECT_EQ(frontend.rows, (QStringList{Header("Test", 3), "Done."}));
    EXPECT_TRUE(frontend.messages.isEmpty());
    EXPECT_EQ(Sandbox::TrashContent(),
              (QStringList{".kvx~00000000000000aa.tmp=half@0", ".kvx~00000000000000bb.tmp=on b@0",
                           ".kvx~0123456789abcdef.tmp=half@0", ".kvx~fedcba9876543210.tmp/",
                           ".kvx~fedcba9876543210.tmp/part=p@0"}));
}

TEST_F(SafetyTest, EmptySideWithAListingLogAsksBeforeDeletingTheOtherSide) {
    box.Make("A", {{"a", "1"}, {"d/"}, {"d/x", "2"}});
    WriteLog({"a", "d", "d\\x"});
    frontend.answers = {Answer::No};
    RunToEnd(frontend);
    const QString question =
        QStringLiteral(
            "Confirmation: The folder %1/ is empty, but the previous run left 3 entries in it.\n"
            "If you go on, everything listed in the log file will be deleted from the other "
            "folder, "
            "%2/.\n\nDo you want to continue?")
            .arg(box.Path("B"), box.Path("A"));
    EXPECT_EQ(frontend.messages, QStringList{question});
    EXPECT_EQ(SideA(), (QStringList{"a=1@0", "d/", "d/x=2@0"}));
    EXPECT_EQ(frontend.rows, (QStringList{Header("Test", 1), "Done."}));
    EXPECT_FALSE(frontend.completed);

    frontend.messages.clear();
    RunToEnd(frontend);  // answered Yes
    EXPECT_EQ(frontend.messages, QStringList{question});
    EXPECT_TRUE(SideA().isEmpty());
    EXPECT_EQ(Sandbox::TrashContent().size(), 3);
}

TEST_F(SafetyTest, SecondRunOnAPairThatIsBeingSynchronisedIsRefused) {
    box.Make("A", {{"a", "1"}});
    WriteLog({});
    const int held = ::open(box.NativePath("B").constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    RunToEnd(frontend);
    ::close(held);
    EXPECT_EQ(
        frontend.messages,
        QStringList{"Error!: Another run is synchronizing this folder:" + box.Path("B") + "/"});
    EXPECT_EQ(frontend.rows, QStringList{"Done."});
    EXPECT_TRUE(SideB().isEmpty());
    EXPECT_FALSE(frontend.completed);

    frontend.messages.clear();
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.messages.isEmpty());
    EXPECT_EQ(SideB(), QStringList{"a=1@0"});
}

TEST_F(SafetyTest, PipesAndSocketsAreReportedNotOpened) {
    WriteLog({});
    ASSERT_EQ(::mkfifo(box.NativePath("A/pipe").constData(), 0600), 0);
    RunToEnd(frontend);
    EXPECT_EQ(frontend.messages, QStringList{"Error!: Failed to copy: pipe"});
    EXPECT_TRUE(SideB().isEmpty());
}

}  // namespace
}  // namespace kalvex::test
