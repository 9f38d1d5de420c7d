// A log speaks only for the pair of folders it was written for: one Directory A kept in step
// with two partners, a Directory B pointed elsewhere, and logs of earlier versions.
#include "SyncFixture.h"

#include <QDir>

namespace kalvex::test {
namespace {

const QString kMissingLog = QStringLiteral(
    "Confirmation: Couldn't find the previous log file.\nTherefore, no files or folders will be "
    "deleted.\n\nDo you want to continue?");

class PartnerLogTest : public SyncFixture {
protected:
    QStringList LogFiles() const {
        return QDir(box.Path("A")).entryList({"kvx_*"}, QDir::Files, QDir::Name);
    }
    // Runs every checked profile; returns the messages of the run.
    QStringList Run() {
        frontend.messages.clear();
        frontend.rows.clear();
        RunToEnd(frontend);
        EXPECT_TRUE(frontend.completed);
        return frontend.messages;
    }
};

TEST_F(PartnerLogTest, OneFolderWithTwoPartnersKeepsALogForEachAndDeletionsFlowToBoth) {
    box.Make("A", {{"doc1", "1"}, {"doc2", "2"}});
    box.Make("B2", {{"own", "o"}});
    frontend.profiles = {Profile{true, "one", box.Path("A"), box.Path("B1")},
                         Profile{true, "two", box.Path("A"), box.Path("B2")}};
    box.Make("B1", {});
    EXPECT_EQ(Run(), (QStringList{kMissingLog, kMissingLog}));
    // Every later run: no question, nothing trashed, everything everywhere.
    for (int run = 0; run < 3; ++run) {
        EXPECT_TRUE(Run().isEmpty()) << run;
    }
    const QStringList all{"doc1=1@0", "doc2=2@0", "own=o@0"};
    EXPECT_EQ(SideA(), all);
    EXPECT_EQ(box.Describe("B1"), all);
    EXPECT_EQ(box.Describe("B2"), all);
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
    const QStringList logs = LogFiles();
    ASSERT_EQ(logs.size(), 2) << logs.join(u' ').toStdString();
    for (const QString& log : logs) {
        EXPECT_TRUE(log.startsWith("kvx_proj.") && log.endsWith(".log")) << log.toStdString();
    }
    EXPECT_EQ(LogLines(logs[0], "B1").startsWith("(partner?)"),
              !LogLines(logs[1], "B1").startsWith("(partner?)"));

    // A deletion on one partner reaches A, and from there the other partner.
    ASSERT_TRUE(QFile::remove(box.Path("B2/doc1")));
    EXPECT_TRUE(Run().isEmpty());
    EXPECT_TRUE(Run().isEmpty());
    const QStringList rest{"doc2=2@0", "own=o@0"};
    EXPECT_EQ(SideA(), rest);
    EXPECT_EQ(box.Describe("B1"), rest);
    EXPECT_EQ(Sandbox::TrashContent(), (QStringList{"doc1.2=1@0", "doc1=1@0"}));
}

TEST_F(PartnerLogTest, LogOfAnotherDirectoryBCountsAsNoLog) {
    box.Make("A", {{"doc1", "1"}, {"doc2", "2"}});
    EXPECT_EQ(Run(), QStringList{kMissingLog});
    EXPECT_TRUE(Run().isEmpty());
    // The profile now points at another folder, which holds one file of its own.
    box.Make("C", {{"other", "x"}});
    frontend.profiles[0].DirB = box.Path("C");
    EXPECT_EQ(Run(), QStringList{kMissingLog});
    EXPECT_EQ(SideA(), (QStringList{"doc1=1@0", "doc2=2@0", "other=x@0"}));
    EXPECT_EQ(box.Describe("C"), (QStringList{"doc1=1@0", "doc2=2@0", "other=x@0"}));
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
    EXPECT_EQ(LogLines("kvx_proj.log", "C"), "doc1\r\ndoc2\r\nother\r\n");
}

TEST_F(PartnerLogTest, LogOfAnEarlierVersionCountsOnlyWhereNoOtherProfileSharesA) {
    box.Make("A", {{"keep", "k"}, {"gone_from_b", "g"}});
    box.Make("B", {{"keep", "k"}});
    WriteLog({"keep", "gone_from_b"});
    frontend.profiles.append(Profile{false, "unchecked", box.Path("A"), box.Path("C")});
    box.Make("C", {});
    // Shared: the log without a partner may be the other profile's.
    EXPECT_EQ(Run(), QStringList{kMissingLog});
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());

    box.Make("A", {{"gone_from_b", "g"}});
    ASSERT_TRUE(QFile::remove(box.Path("B/gone_from_b")));
    WriteLog({"keep", "gone_from_b"});
    frontend.profiles.removeLast();
    EXPECT_TRUE(Run().isEmpty());
    EXPECT_EQ(SideA(), QStringList{"keep=k@0"});
    EXPECT_EQ(Sandbox::TrashContent(), QStringList{"gone_from_b=g@0"});
    EXPECT_EQ(Log(), "keep\r\n");
}

TEST_F(PartnerLogTest, SecondProfileOverTheSameATakesTheLogAlongWithoutLosingDeletions) {
    box.Make("A", {{"keep", "k"}, {"later_gone", "g"}});
    EXPECT_EQ(Run(), QStringList{kMissingLog});
    ASSERT_TRUE(QFile::exists(box.Path("A/kvx_proj.log")));

    frontend.profiles.append(Profile{false, "second", box.Path("A"), box.Path("C")});
    box.Make("C", {});
    ASSERT_TRUE(QFile::remove(box.Path("B/later_gone")));
    EXPECT_TRUE(Run().isEmpty());
    EXPECT_EQ(SideA(), QStringList{"keep=k@0"});
    EXPECT_EQ(Sandbox::TrashContent(), QStringList{"later_gone=g@0"});
    // Only the new name speaks for the pair now.
    const QStringList logs = LogFiles();
    ASSERT_EQ(logs.size(), 1) << logs.join(u' ').toStdString();
    EXPECT_NE(logs[0], "kvx_proj.log");
    EXPECT_EQ(LogLines(logs[0], "B"), "keep\r\n");

    // And back, once the second profile is gone.
    frontend.profiles.removeLast();
    box.Make("B", {{"new_in_b", "n"}});
    EXPECT_TRUE(Run().isEmpty());
    EXPECT_EQ(LogFiles(), QStringList{"kvx_proj.log"});
    EXPECT_EQ(Log(), "keep\r\nnew_in_b\r\n");
}

}  // namespace
}  // namespace kalvex::test
