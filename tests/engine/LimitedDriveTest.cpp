// Runs onto a drive that lacks what the program's commits rely on: no RENAME_NOREPLACE, no
// hard links, no permission bits, owners or extended attributes (as FAT and exFAT through
// FUSE), made so by the platform layer's simulation on any file system.
#include "SyncFixture.h"

#include "platform/FileSystemAbilities.h"

namespace kalvex::test {
namespace {

class LimitedDriveTest : public SyncFixture {
protected:
    LimitedDriveTest() {
        platform::SimulateLimits({.noExclusiveRename = true,
                                  .noHardLinks = true,
                                  .noPermissionBits = true,
                                  .noOwners = true,
                                  .noUserAttributes = true});
    }
    ~LimitedDriveTest() override { platform::SimulateLimits({}); }
};

TEST_F(LimitedDriveTest, FirstRunCopiesEverythingAndTheNextHasNothingToDo) {
    box.Make("A", {{"top.txt", "t", 10}, {"d/"}, {"d/in.txt", "i", 20}});
    box.Make("B", {{"back.txt", "b", 30}});
    WriteLog({});
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.messages.isEmpty()) << frontend.messages.join(u'\n').toStdString();
    EXPECT_EQ(frontend.rows, (QStringList{Header("Test", 1), Row("d", "*", ">>", "-", 0),
                                          Row("top.txt", T(10), ">>", "-", 1),
                                          Row("back.txt", "-", "<<", T(30), 1), "Done."}));
    EXPECT_EQ(SideB(), SideA());
    EXPECT_EQ(Log(), QByteArray("back.txt\r\nd\r\nd\\in.txt\r\ntop.txt\r\n"));
    EXPECT_TRUE(box.Leftovers().isEmpty());

    frontend.rows.clear();
    RunToEnd(frontend);
    EXPECT_EQ(frontend.rows, (QStringList{Header("Test", 2), "Done."}));
    EXPECT_TRUE(frontend.completed);
}

TEST_F(LimitedDriveTest, DeletionsBothWaysGoToTheTrash) {
    box.Make("A", {{"keep", "k"}, {"gone_in_b", "a"}});
    box.Make("B", {{"keep", "k"}, {"gone_in_a", "b"}});
    WriteLog({"keep", "gone_in_a", "gone_in_b"});
    RunToEnd(frontend);
    EXPECT_TRUE(frontend.messages.isEmpty()) << frontend.messages.join(u'\n').toStdString();
    EXPECT_EQ(SideA(), QStringList{"keep=k@0"});
    EXPECT_EQ(SideB(), QStringList{"keep=k@0"});
    EXPECT_EQ(Sandbox::TrashContent(), (QStringList{"gone_in_a=b@0", "gone_in_b=a@0"}));
}

}  // namespace
}  // namespace kalvex::test
