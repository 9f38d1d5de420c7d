// A preview shows the rows and messages of the run that would follow, and changes nothing.
#include "SyncFixture.h"

#include "platform/Folder.h"
#include "platform/TempName.h"

namespace kalvex::test {
namespace {

struct PreviewCase {
    const char* name;
    std::vector<Node> a;
    std::vector<Node> b;
    std::optional<QStringList> log;  // no previous log file when empty
    bool warns = false;              // the run would ask about an empty side first
};
KALVEX_NAMED_CASE(PreviewCase)

class PreviewTest : public SyncFixture, public testing::WithParamInterface<PreviewCase> {
protected:
    QStringList Everything() const {
        // The sandbox holds both folders, the home its trash.
        return Snapshot(box.Path(), Times::ModificationAndChange) +
               Snapshot(PrivateHome::Path() + "/.local/share/Trash", Times::ModificationAndChange);
    }
    // The rows and the messages that are not questions.
    QStringList Shown() const {
        QStringList shown = frontend.rows;
        for (const QString& message : frontend.messages) {
            if (!message.startsWith(u"Confirmation: ")) {
                shown << message;
            }
        }
        return shown;
    }
};

TEST_P(PreviewTest, ShowsWhatTheRunThenDoesAndChangesNothing) {
    const PreviewCase& c = GetParam();
    box.Make("A", c.a);
    box.Make("B", c.b);
    if (c.log) {
        WriteLog(*c.log);
    }
    const QStringList before = Everything();

    RunToEnd(frontend, true, RunMode::Preview);
    EXPECT_EQ(Everything(), before);
    EXPECT_TRUE(frontend.completed);
    EXPECT_EQ(frontend.messages.filter(u"Confirmation: "), QStringList())
        << "a preview asks nothing";
    EXPECT_EQ(frontend.warnings.size(), c.warns ? 1 : 0)
        << frontend.warnings.join(u'\n').toStdString();
    if (c.warns) {
        EXPECT_TRUE(frontend.warnings.value(0).startsWith("Warning: the folder "))
            << frontend.warnings.value(0).toStdString();
    }
    const QStringList previewed = Shown();

    frontend.rows.clear();
    frontend.messages.clear();
    RunToEnd(frontend);  // every question answered Yes
    EXPECT_EQ(Shown(), previewed);
    EXPECT_EQ(frontend.warnings.size(), c.warns ? 1 : 0) << "a run never warns";
}

INSTANTIATE_TEST_SUITE_P(
    Trees, PreviewTest,
    testing::Values(PreviewCase{"new_newer_and_older_on_both_sides",
                                {{"new_a", "a"}, {"newer_a", "a2", 600}, {"older_a", "a", 0}},
                                {{"new_b", "b"}, {"newer_a", "a1", 0}, {"older_a", "b2", 600}},
                                QStringList{"newer_a", "older_a"}},
                    PreviewCase{"deletions_on_both_sides",
                                {{"kept", "k"}, {"gone_from_b", "g"}},
                                {{"kept", "k"}, {"gone_from_a", "g"}},
                                QStringList{"kept", "gone_from_b", "gone_from_a"}},
                    PreviewCase{
                        "a_folder_new_on_each_side_is_not_walked_again",
                        {{"da/"}, {"da/sub/"}, {"da/sub/x", "x"}, {"both/"}, {"both/n", "n"}},
                        {{"db/"}, {"db/y", "y"}, {"both/"}},
                        QStringList{"both"}},
                    PreviewCase{"kind_conflict_and_an_unloggable_name",
                                {{"clash", "file"}, {"line\nbreak", "x"}},
                                {{"clash/"}},
                                QStringList{}},
                    PreviewCase{"an_empty_side_shows_what_yes_would_do",
                                {{"f1", "1"}, {"d/"}, {"d/f2", "2"}},
                                {},
                                QStringList{"f1", "d", "d\\f2"},
                                true},
                    PreviewCase{"no_log_deletes_nothing",
                                {{"only_a", "a"}, {"both", "x"}},
                                {{"only_b", "b"}, {"both", "x"}},
                                std::nullopt},
                    PreviewCase{"a_leftover_stays",
                                {{platform::NewTempName(), "half a copy"}, {"f", "f"}},
                                {},
                                QStringList{}}),
    kCaseName);

TEST_F(SyncFixture, PreviewTakesNoLockAndRunsBesideARun) {
    box.Make("A", {{"f", "x"}});
    WriteLog({});
    const platform::Folder held = platform::Folder::Open(box.NativePath("A"));
    ASSERT_TRUE(held.TryLock());
    RunToEnd(frontend, true, RunMode::Preview);
    EXPECT_TRUE(frontend.messages.isEmpty()) << frontend.messages.join(u'\n').toStdString();
    EXPECT_EQ(frontend.rows, (QStringList{Header(), Row("f", T(0), ">>", "-", 1), "Done."}));
    EXPECT_TRUE(SideB().isEmpty());
}

}  // namespace
}  // namespace kalvex::test
