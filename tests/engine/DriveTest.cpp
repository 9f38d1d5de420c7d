// Directory B, or Directory A, on a USB stick: exFAT folds letter case, keeps no permission
// bits, keeps times to 10 ms, and has neither hard links nor exclusive or exchanging renames.
#include "SyncFixture.h"

#include "ExfatStick.h"

#include <QDir>

#include <memory>

namespace kalvex::test {
namespace {

// A run between A in the sandbox and B on a stick mounted on the sandbox's folder B.
class DriveTest : public SyncFixture {
protected:
    void SetUp() override {
        stick = std::make_unique<ExfatStick>(box.Path("B"), 64);
        ASSERT_FALSE(stick->Broken()) << stick->Reason().toStdString();
        if (!stick->Mounted()) {
            GTEST_SKIP() << "no exFAT stick on this machine: " << stick->Reason().toStdString();
        }
    }
    void TearDown() override { stick.reset(); }

    // B without the trash at the top of the stick.
    QStringList StickSide() const {
        QStringList lines = box.Describe("B");
        lines.removeIf([](const QString& line) { return line.startsWith(u".Trash-"); });
        return lines;
    }
    QStringList StickTrash() const { return box.Describe("B/.Trash-0/files"); }
    // Runs to the end; the rows between the header and "Done.", and no message.
    QStringList Run() {
        frontend.rows.clear();
        frontend.messages.clear();
        RunToEnd(frontend);
        EXPECT_TRUE(frontend.completed);
        EXPECT_TRUE(frontend.messages.isEmpty()) << frontend.messages.join(u'\n').toStdString();
        return frontend.rows.mid(1, frontend.rows.size() - 2);
    }

    std::unique_ptr<ExfatStick> stick;
};

TEST_F(DriveTest, FirstRunCopiesEverythingAndASecondRunHasNothingToDo) {
    box.Make("A", {{"top.txt", "t", 0}, {"odd.txt", "o", 1}, {"d/"}, {"d/in.txt", "i", 3}});
    WriteLog({});
    const QStringList first = Run();
    EXPECT_EQ(first.size(), 3) << first.join(u'\n').toStdString();
    EXPECT_EQ(StickSide(), (QStringList{"d/", "d/in.txt=i@3", "odd.txt=o@1", "top.txt=t@0"}));
    EXPECT_TRUE(box.Leftovers().isEmpty());
    EXPECT_EQ(Run(), QStringList());
}

TEST_F(DriveTest, EditsAndDeletionsFlowBothWays) {
    box.Make("A", {{"a_edit", "1"}, {"b_edit", "1"}, {"gone_a", "1"}, {"gone_b", "1"}});
    WriteLog({});
    Run();
    box.Make("A", {{"a_edit", "edited in A", 600}});
    box.Make("B", {{"b_edit", "edited on the stick", 600}});
    ASSERT_TRUE(QFile::remove(box.Path("A/gone_a")));
    ASSERT_TRUE(QFile::remove(box.Path("B/gone_b")));
    Run();
    const QStringList both{"a_edit=edited in A@600", "b_edit=edited on the stick@600"};
    EXPECT_EQ(SideA(), both);
    EXPECT_EQ(StickSide(), both);
    // What the stick lost went to the stick's own trash; what A lost, to the home trash.
    EXPECT_EQ(StickTrash(), (QStringList{"a_edit=1@0", "gone_a=1@0"}));
    EXPECT_EQ(Sandbox::TrashContent(), (QStringList{"b_edit=1@0", "gone_b=1@0"}));
    EXPECT_EQ(Run(), QStringList());
}

TEST_F(DriveTest, NamesThatDifferOnlyInLetterCaseAreOneEntry) {
    box.Make("A", {{"Notes.txt", "newer in A", 600}, {"same.txt", "s", 0}});
    box.Make("B", {{"NOTES.TXT", "older", 0}, {"SAME.TXT", "s", 0}});
    WriteLog({"Notes.txt", "same.txt"});
    EXPECT_EQ(Run(), QStringList{Row("Notes.txt", T(600), ">", T(0), 1)});
    EXPECT_EQ(SideA(), (QStringList{"Notes.txt=newer in A@600", "same.txt=s@0"}));
    // The stick keeps its own spelling.
    EXPECT_EQ(StickSide(), (QStringList{"NOTES.TXT=newer in A@600", "SAME.TXT=s@0"}));
    EXPECT_EQ(StickTrash(), QStringList{"NOTES.TXT=older@0"});
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
    EXPECT_EQ(Run(), QStringList());
}

TEST_F(DriveTest, CaseOnlyRenameWithAnEditEndsWithTheEditOnBothSides) {
    box.Make("A", {{"Report.txt", "first", 0}});
    WriteLog({});
    Run();
    ASSERT_TRUE(QFile::rename(box.Path("A/Report.txt"), box.Path("A/report.txt")));
    box.Make("A", {{"report.txt", "edited", 600}});
    Run();
    EXPECT_EQ(SideA(), QStringList{"report.txt=edited@600"});
    EXPECT_EQ(StickSide(), QStringList{"Report.txt=edited@600"});
    EXPECT_EQ(StickTrash(), QStringList{"Report.txt=first@0"});
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
    EXPECT_EQ(Run(), QStringList());
}

TEST_F(DriveTest, TwoNamesThatFoldToOneAreBothLeftAlone) {
    box.Make("A", {{"Foo.txt", "upper", 0}, {"foo.txt", "lower", 60}, {"other", "o"}});
    WriteLog({});
    for (int run = 0; run < 2; ++run) {
        frontend.messages.clear();
        RunToEnd(frontend);
        EXPECT_EQ(frontend.messages, (QStringList{"Error!: Failed to copy: Foo.txt",
                                                  "Error!: Failed to copy: foo.txt"}))
            << run;
        EXPECT_EQ(SideA(), (QStringList{"Foo.txt=upper@0", "foo.txt=lower@60", "other=o@0"}));
        EXPECT_EQ(StickSide(), QStringList{"other=o@0"});
        EXPECT_FALSE(Log().contains("oo.txt")) << Log().constData();
    }
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
}

TEST_F(DriveTest, DirectoryAOnTheStickKeepsItsLogThere) {
    box.Make("C", {{"c.txt", "c", 0}, {"sub/"}, {"sub/s.txt", "s", 2}});
    box.Make("B", {{"b.txt", "b", 4}, {"kvx_proj.log", ""}});
    frontend.profiles = {Profile{true, "Stick", box.Path("B"), box.Path("C")}};
    EXPECT_EQ(Run().size(), 3);
    EXPECT_TRUE(QFile::exists(box.Path("B/kvx_proj.log")));
    EXPECT_EQ(box.Describe("C"), (QStringList{"b.txt=b@4", "c.txt=c@0", "sub/", "sub/s.txt=s@2"}));
    EXPECT_EQ(Run(), QStringList());
    ASSERT_TRUE(QFile::remove(box.Path("C/b.txt")));
    EXPECT_EQ(Run(), QStringList{Row("b.txt", T(4), "X-", "-", 3)});
    EXPECT_EQ(StickTrash(), QStringList{"b.txt=b@4"});
}

}  // namespace
}  // namespace kalvex::test
