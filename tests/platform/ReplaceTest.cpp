// Replacing a file keeps the version it replaces in the trash and never replaces a version
// other than the one listed; a folder copy stops when asked to.
#include "platform/FileOps.h"
#include "platform/FileSystemAbilities.h"
#include "platform/Folder.h"

#include "Sandbox.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// While set, renameat2 refuses to exchange names, as FUSE file systems and NFS do.
std::atomic<bool> g_noExchange = false;
}  // namespace

extern "C" int renameat2(int oldDir, const char* oldName, int newDir, const char* newName,
                         unsigned int flags) {
    using Real = int (*)(int, const char*, int, const char*, unsigned int);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "renameat2"));
    if (g_noExchange && (flags & RENAME_EXCHANGE) != 0) {
        errno = EINVAL;
        return -1;
    }
    return real(oldDir, oldName, newDir, newName, flags);
}

namespace kalvex::platform {
namespace {

using test::Sandbox;

QByteArray TrashInfoOf(const QString& name) {
    QFile info(test::PrivateHome::Path() + "/.local/share/Trash/info/" + name + ".trashinfo");
    return info.open(QIODevice::ReadOnly) ? info.readAll() : QByteArray("(none)");
}

struct ReplaceCase {
    const char* name;
    bool exchange;  // whether the file system can exchange two names
};
KALVEX_NAMED_CASE(ReplaceCase)

class ReplaceTest : public testing::TestWithParam<ReplaceCase> {
protected:
    void SetUp() override {
        Sandbox::EmptyTrash();
        SimulateLimits({});  // forgets file systems found without an exchange before
        g_noExchange = !GetParam().exchange;
        box.Make("from", {{"f.txt", "new content", 40}});
        box.Make("to", {{"f.txt", "old", 0}});
        ::chmod(box.NativePath("from/f.txt").constData(), 0640);
        from = Folder::Open(box.NativePath("from"));
        to = Folder::Open(box.NativePath("to"));
    }
    void TearDown() override {
        g_noExchange = false;
        Sandbox::EmptyTrash();
    }
    QStringList Leftovers() const { return box.Leftovers(); }

    Sandbox box;
    Folder from;
    Folder to;
};

TEST_P(ReplaceTest, KeepsTimeAndBitsAndTheReplacedVersionGoesToTheTrashUnderItsOwnName) {
    const Result replaced =
        ReplaceEntry(from, "f.txt", to, "f.txt", Version::Of(to.Status("f.txt")));
    ASSERT_TRUE(replaced) << replaced;
    EXPECT_EQ(box.Describe("to"), QStringList{"f.txt=new content@40"});
    struct stat st;
    ASSERT_EQ(::lstat(box.NativePath("to/f.txt").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Sandbox::TrashContent(), QStringList{"f.txt=old@0"});
    const QByteArray info = TrashInfoOf("f.txt");
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=" + QFile::encodeName(box.Path("to/f.txt")) +
                                "\nDeletionDate="))
        << info.constData();
    EXPECT_TRUE(Leftovers().isEmpty()) << Leftovers().join(u' ').toStdString();
}

TEST_P(ReplaceTest, WithoutATrashTheCopyStillReplacesTheFile) {
    box.Make("home", {{"Trash", "not a folder"}});
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", box.NativePath("home"));
    const Result replaced =
        ReplaceEntry(from, "f.txt", to, "f.txt", Version::Of(to.Status("f.txt")));
    qputenv("XDG_DATA_HOME", saved);
    ASSERT_TRUE(replaced) << replaced;
    EXPECT_EQ(box.Describe("to"), QStringList{"f.txt=new content@40"});
    EXPECT_TRUE(Leftovers().isEmpty()) << Leftovers().join(u' ').toStdString();
}

// Each changes the target after it was listed, the way a program saving it would.
struct ChangeCase {
    const char* name;
    std::function<void(const Sandbox& box)> change;
};
KALVEX_NAMED_CASE(ChangeCase)

const ChangeCase kChanges[] = {
    {"rewritten_in_place_with_its_old_size_and_time",
     [](const Sandbox& box) {
         QFile file(box.Path("to/f.txt"));
         ASSERT_TRUE(file.open(QIODevice::ReadWrite));
         file.write("OLD");
         file.close();
         test::SetTime(box.Path("to/f.txt"), 0);
     }},
    {"saved_under_a_new_name_and_renamed_over_it",
     [](const Sandbox& box) {
         box.Make("to", {{"f.txt.new", "old", 0}});
         ASSERT_EQ(::rename(box.NativePath("to/f.txt.new").constData(),
                            box.NativePath("to/f.txt").constData()),
                   0);
     }},
    {"removed", [](const Sandbox& box) { ASSERT_TRUE(QFile::remove(box.Path("to/f.txt"))); }},
    {"turned_into_a_folder",
     [](const Sandbox& box) {
         ASSERT_TRUE(QFile::remove(box.Path("to/f.txt")));
         box.Make("to", {{"f.txt/"}});
     }},
};

class ChangedTargetTest : public testing::TestWithParam<std::tuple<ReplaceCase, ChangeCase>> {
protected:
    void SetUp() override {
        Sandbox::EmptyTrash();
        SimulateLimits({});
        g_noExchange = !std::get<0>(GetParam()).exchange;
    }
    void TearDown() override {
        g_noExchange = false;
        Sandbox::EmptyTrash();
    }
};

TEST_P(ChangedTargetTest, IsLeftAloneAndNothingGoesToTheTrash) {
    const Sandbox box;
    box.Make("from", {{"f.txt", "new content", 40}});
    box.Make("to", {{"f.txt", "old", 0}});
    const Folder from = Folder::Open(box.NativePath("from"));
    const Folder to = Folder::Open(box.NativePath("to"));
    const Version listed = Version::Of(to.Status("f.txt"));
    std::get<1>(GetParam()).change(box);
    const QStringList changed = box.Describe("to");
    const Result replaced = ReplaceEntry(from, "f.txt", to, "f.txt", listed);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(replaced.Error(), EAGAIN);
    EXPECT_EQ(box.Describe("to"), changed);
    EXPECT_TRUE(Sandbox::TrashContent().isEmpty());
    EXPECT_TRUE(box.Leftovers().isEmpty());
}

const ReplaceCase kFileSystems[] = {{"exchange", true}, {"no_exchange", false}};

INSTANTIATE_TEST_SUITE_P(FileSystems, ReplaceTest, testing::ValuesIn(kFileSystems),
                         test::kCaseName);
INSTANTIATE_TEST_SUITE_P(FileSystems, ChangedTargetTest,
                         testing::Combine(testing::ValuesIn(kFileSystems),
                                          testing::ValuesIn(kChanges)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

TEST(CopyFolderStop, RemovesThePartBuiltAndLeavesNothingUnderTheName) {
    const Sandbox box;
    std::vector<test::Node> nodes{{"d/"}, {"d/sub/"}};
    for (int i = 0; i < 400; ++i) {
        nodes.emplace_back(QStringLiteral("d/f%1").arg(i), "x");
        nodes.emplace_back(QStringLiteral("d/sub/g%1").arg(i), "y");
    }
    box.Make("from", nodes);
    box.Make("to", {});
    const Folder from = Folder::Open(box.NativePath("from"));
    const Folder to = Folder::Open(box.NativePath("to"));
    // The request comes while the copy is under way: after a few files were written.
    std::atomic<int> asked = 0;
    const Result copied = CopyFolder(
        from, "d", to, [](const QByteArray&, const EntryStatus&) { return true; },
        [&asked] { return ++asked > 20; });
    EXPECT_FALSE(copied);
    EXPECT_EQ(copied.Error(), ECANCELED);
    EXPECT_TRUE(box.Describe("to").isEmpty()) << box.Describe("to").join(u' ').toStdString();
    // Asked before each file: the copy did not run on to its end.
    EXPECT_LT(asked.load(), 200);
}

}  // namespace
}  // namespace kalvex::platform
