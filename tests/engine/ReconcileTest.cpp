// How a run decides, entry by entry: the file table, the folder table, the log file.
#include "SyncFixture.h"

#include "engine/Kalvex.h"

namespace kalvex::test {
namespace {

struct FileCase {
    const char* name;
    std::vector<Node> a;
    std::vector<Node> b;
    QStringList log;  // nothing when there is no previous log file
    QStringList expectedA;
    QStringList expectedB;
    QStringList expectedRows;  // between the header row and "Done."
    QByteArray expectedLog;
    QStringList expectedTrash;
};
KALVEX_NAMED_CASE(FileCase)

class FileTableTest : public SyncFixture, public testing::WithParamInterface<FileCase> {};

// An entry present and equal on both sides, so that neither side is empty (an empty side
// with a log that lists entries makes the run ask first). '~' sorts after every case's names.
const Node kBoth{"~both", "same", 0};

TEST_P(FileTableTest, ActsAndReportsAsTheTableSays) {
    const FileCase& c = GetParam();
    box.Make("A", c.a);
    box.Make("B", c.b);
    box.Make("A", {kBoth});
    box.Make("B", {kBoth});
    QStringList log = c.log;
    WriteLog(log << kBoth.path);
    RunToEnd(frontend);

    QStringList expectedA = c.expectedA;
    QStringList expectedB = c.expectedB;
    EXPECT_EQ(SideA(), expectedA << "~both=same@0");
    EXPECT_EQ(SideB(), expectedB << "~both=same@0");
    QStringList rows = {Header()};
    rows << c.expectedRows << QStringLiteral("Done.");
    EXPECT_EQ(frontend.rows, rows);
    EXPECT_EQ(Log(), c.expectedLog + "~both\r\n");
    EXPECT_EQ(Sandbox::TrashContent(), c.expectedTrash);
    EXPECT_TRUE(frontend.messages.isEmpty()) << frontend.messages.join(u'\n').toStdString();
    EXPECT_TRUE(frontend.completed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileTableTest,
    testing::Values(
        FileCase{"new_in_a_is_copied_to_b",
                 {{"f", "a", 0}},
                 {},
                 {},
                 {"f=a@0"},
                 {"f=a@0"},
                 {Row("f", T(0), ">>", "-", 1)},
                 "f\r\n",
                 {}},
        FileCase{"new_in_b_is_copied_to_a_in_the_second_pass",
                 {},
                 {{"f", "b", 0}},
                 {},
                 {"f=b@0"},
                 {"f=b@0"},
                 {Row("f", "-", "<<", T(0), 1)},
                 "f\r\n",
                 {}},
        FileCase{"listed_and_gone_from_b_is_deleted_in_a",
                 {{"f", "a", 0}},
                 {},
                 {"f"},
                 {},
                 {},
                 {Row("f", T(0), "X-", "-", 3)},
                 "",
                 {"f=a@0"}},
        FileCase{"listed_and_gone_from_a_is_deleted_in_b",
                 {},
                 {{"f", "b", 0}},
                 {"f"},
                 {},
                 {},
                 {Row("f", "-", "-X", T(0), 3)},
                 "",
                 {"f=b@0"}},
        // The second pass acts on what the first pass kept of the level: each deletion in
        // B must check B's own entry, not a neighbour's.
        FileCase{"deletions_in_b_between_kept_entries_each_check_their_own",
                 {{"a", "a", 0}, {"c", "c", 0}},
                 {{"a", "a", 0}, {"b", "b", 600}, {"c", "c", 0}, {"d", "d", 0}, {"e", "e", 1200}},
                 {"a", "b", "c", "e"},
                 {"a=a@0", "c=c@0", "d=d@0"},
                 {"a=a@0", "c=c@0", "d=d@0"},
                 {Row("b", "-", "-X", T(600), 3), Row("d", "-", "<<", T(0), 1),
                  Row("e", "-", "-X", T(1200), 3)},
                 "a\r\nc\r\nd\r\n",
                 {"b=b@600", "e=e@1200"}},
        FileCase{"changed_in_a_but_deleted_in_b_goes_to_the_trash",
                 {{"f", "changed", 600}},
                 {},
                 {"f"},
                 {},
                 {},
                 {Row("f", T(600), "X-", "-", 3)},
                 "",
                 {"f=changed@600"}},
        FileCase{"four_units_apart_is_the_same",
                 {{"f", "a", 0}},
                 {{"f", "b", 8}},
                 {},
                 {"f=a@0"},
                 {"f=b@8"},
                 {},
                 "f\r\n",
                 {}},
        FileCase{"five_units_apart_copies_b_over_a",
                 {{"f", "a", 0}},
                 {{"f", "b", 10}},
                 {},
                 {"f=b@10"},
                 {"f=b@10"},
                 {Row("f", T(0), "<", T(10), 1)},
                 "f\r\n",
                 {"f=a@0"}},
        FileCase{"five_units_apart_copies_a_over_b",
                 {{"f", "a", 10}},
                 {{"f", "b", 0}},
                 {},
                 {"f=a@10"},
                 {"f=a@10"},
                 {Row("f", T(10), ">", T(0), 1)},
                 "f\r\n",
                 {"f=b@0"}},
        // 10:20:58 and 10:21:06 are eight seconds apart, but the packed values six units.
        FileCase{"eight_seconds_across_a_minute_boundary_copies",
                 {{"f", "a", 28}},
                 {{"f", "b", 36}},
                 {},
                 {"f=b@36"},
                 {"f=b@36"},
                 {Row("f", T(28), "<", T(36), 1)},
                 "f\r\n",
                 {"f=a@28"}},
        FileCase{"present_on_both_sides_is_never_deleted",
                 {{"f", "a", 0}},
                 {{"f", "a", 0}},
                 {"f"},
                 {"f=a@0"},
                 {"f=a@0"},
                 {},
                 "f\r\n",
                 {}},
        FileCase{"log_matches_letter_case_exactly",
                 {{"README", "a", 0}},
                 {},
                 {"Readme"},
                 {"README=a@0"},
                 {"README=a@0"},
                 {Row("README", T(0), ">>", "-", 1)},
                 "README\r\n",
                 {}},
        FileCase{"time_before_1980_counts_as_present",
                 {{"old", "a", -1500000000}},
                 {},
                 {},
                 {"old=a@-1500000000"},
                 {"old=a@-1500000000"},
                 {Row("old", "1 Jan 1980", ">>", "-", 1)},
                 "old\r\n",
                 {}},
        // 2050 against 2024: the later year wins although its packed value has bit 31 set.
        FileCase{"year_2050_is_newer_than_2024",
                 {{"f", "future", 815000000}},
                 {{"f", "now", 0}},
                 {},
                 {"f=future@815000000"},
                 {"f=future@815000000"},
                 {Row("f", T(815000000), ">", T(0), 1)},
                 "f\r\n",
                 {"f=now@0"}},
        FileCase{"link_is_copied_as_a_link",
                 {{"target", "t", 0}, {"ln", {}, 4, "target"}},
                 {},
                 {},
                 {"ln->target@4", "target=t@0"},
                 {"ln->target@4", "target=t@0"},
                 {Row("ln", T(4), ">>", "-", 1), Row("target", T(0), ">>", "-", 1)},
                 "ln\r\ntarget\r\n",
                 {}},
        FileCase{"newer_link_replaces_the_older_link",
                 {{"ln", {}, 0, "old"}},
                 {{"ln", {}, 60, "new"}},
                 {},
                 {"ln->new@60"},
                 {"ln->new@60"},
                 {Row("ln", T(0), "<", T(60), 1)},
                 "ln\r\n",
                 {"ln->old@0"}}),
    kCaseName);

TEST_F(SyncFixture, FolderOnlyInAIsCopiedWholeAndListedWithItsContent) {
    box.Make("A", {{"d/"}, {"d/x.txt", "x", 2}, {"d/e/"}, {"d/e/y.txt", "y", 4}});
    WriteLog({});
    RunToEnd(frontend);
    EXPECT_EQ(SideB(), (QStringList{"d/", "d/e/", "d/e/y.txt=y@4", "d/x.txt=x@2"}));
    EXPECT_EQ(frontend.rows,
              (QStringList{Header("Test", 1), Row("d", "*", ">>", "-", 0), "Done."}));
    // The second pass walks the copy: the folder comes before its content.
    EXPECT_EQ(Log(), QByteArray("d\r\nd\\e\r\nd\\e\\y.txt\r\nd\\x.txt\r\n"));
    EXPECT_EQ(frontend.folders, (QStringList{"d (top)", "d (top)", "d\\e"}));
}

TEST_F(SyncFixture, FolderOnlyInBIsCopiedInTheSecondPassAndListedAlone) {
    box.Make("B", {{"d/"}, {"d/x.txt", "x", 2}});
    WriteLog({});
    RunToEnd(frontend);
    EXPECT_EQ(SideA(), (QStringList{"d/", "d/x.txt=x@2"}));
    EXPECT_EQ(frontend.rows,
              (QStringList{Header("Test", 1), Row("d", "-", "<<", "*", 0), "Done."}));
    EXPECT_EQ(Log(), QByteArray("d\r\n"));
}

TEST_F(SyncFixture, ListedFolderGoneFromOneSideIsDeletedWithEverythingInIt) {
    box.Make("A", {{"gone_in_b/"}, {"gone_in_b/old.txt", "o"}, {"gone_in_b/added.txt", "new"}});
    box.Make("B", {{"gone_in_a/"}, {"gone_in_a/z.txt", "z"}});
    WriteLog({"gone_in_b", "gone_in_b\\old.txt", "gone_in_a", "gone_in_a\\z.txt"});
    RunToEnd(frontend);
    EXPECT_TRUE(SideA().isEmpty());
    EXPECT_TRUE(SideB().isEmpty());
    // The mark names the side whose folder goes.
    EXPECT_EQ(frontend.rows, (QStringList{Header("Test", 2), Row("gone_in_b", "*", "X-", "-", 2),
                                          Row("gone_in_a", "-", "-X", "*", 2), "Done."}));
    EXPECT_EQ(Sandbox::TrashContent(),
              (QStringList{"gone_in_a/", "gone_in_a/z.txt=z@0", "gone_in_b/",
                           "gone_in_b/added.txt=new@0", "gone_in_b/old.txt=o@0"}));
    EXPECT_EQ(Log(), QByteArray());
}

TEST_F(SyncFixture, CommonFoldersAreWalkedAndTheProgressCountsTopLevelFolders) {
    box.Make("A", {{"p/"}, {"p/q/"}, {"p/q/new.txt", "n", 0}, {"r/"}});
    box.Make("B", {{"p/"}, {"p/q/"}, {"r/"}, {"s/"}});
    WriteLog({"s"});
    RunToEnd(frontend);
    EXPECT_EQ(frontend.rows,
              (QStringList{Header("Test", 5), Row("p\\q\\new.txt", T(0), ">>", "-", 1),
                           Row("s", "-", "-X", "*", 2), "Done."}));
    EXPECT_EQ(frontend.folders,
              (QStringList{"p (top)", "p\\q", "r (top)", "p (top)", "p\\q", "r (top)", "s (top)"}));
    EXPECT_EQ(Log(), QByteArray("p\r\np\\q\r\np\\q\\new.txt\r\nr\r\n"));
}

TEST_F(SyncFixture, LogFilesOfProjectsAreLeftAloneByTheirExactName) {
    box.Make("A", {{"kvx_other.log", "theirs"},
                   {"kvx_dir/"},
                   {"kvx_dir/x.log", "x"},
                   {"kvx_dir/x.txt", "t"},
                   {"KVX_upper.LOG", "u"}});
    WriteLog({});
    RunToEnd(frontend);
    // kvx_dir itself is copied whole; inside it, the walk of the second pass skips x.log.
    EXPECT_EQ(SideB(), (QStringList{"KVX_upper.LOG=u@0", "kvx_dir/", "kvx_dir/x.log=x@0",
                                    "kvx_dir/x.txt=t@0"}));
    EXPECT_EQ(Log(), QByteArray("kvx_dir\r\nkvx_dir\\x.txt\r\nKVX_upper.LOG\r\n"));
}

TEST_F(SyncFixture, LogFileIsNamedAfterTheProjectFile) {
    struct Case {
        QString project;
        QString logName;
    };
    const std::vector<Case> cases = {{"/w/Photos.kvx", "kvx_Photos.log"},
                                     {"/w/my.backup.kvx", "kvx_my.backup.log"},
                                     {"/w/Notes", "kvx_Notes.log"},
                                     {"relative/daily.kvx", "kvx_daily.log"},
                                     {"", "kvx_.log"}};
    for (const Case& c : cases) {
        frontend.projectFileName = c.project;
        frontend.rows.clear();
        RunToEnd(frontend);
        EXPECT_TRUE(QFile::exists(box.Path("A/" + c.logName))) << c.logName.toStdString();
        EXPECT_FALSE(QFile::exists(box.Path("B/" + c.logName))) << c.logName.toStdString();
    }
}

TEST_F(SyncFixture, LogFileWithLfEndsAndStrayLinesIsReadAsWell) {
    box.Make("B", {{"keep.txt", "k"}, {"del.txt", "d"}});
    QFile file(box.Path("A/kvx_proj.log"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("/etc/passwd\n..\\..\\x\n\ndel.txt\n");
    file.close();
    RunToEnd(frontend);
    EXPECT_EQ(SideA(), QStringList{"keep.txt=k@0"});
    EXPECT_EQ(SideB(), QStringList{"keep.txt=k@0"});
    EXPECT_EQ(Sandbox::TrashContent(), QStringList{"del.txt=d@0"});
}

}  // namespace
}  // namespace kalvex::test
