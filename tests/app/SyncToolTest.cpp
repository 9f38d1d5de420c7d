// kalvex-sync as a user or a script meets it: a real process on real folders.
#include "Faults.h"
#include "Sandbox.h"
#include "TestEnvironment.h"

#include "platform/TempName.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kalvex::test {
namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// `wrapper`: a command that starts the tool, such as setpriv with its options.
Result RunTool(const QStringList& arguments, const QString& workingFolder = QString(),
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
               const QStringList& wrapper = {}) {
    const QStringList command = wrapper + QStringList{QStringLiteral(KALVEX_SYNC_PATH)} + arguments;
    QProcess process;
    process.setProgram(command.front());
    process.setArguments(command.mid(1));
    process.setWorkingDirectory(workingFolder);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

class SyncToolTest : public testing::Test {
protected:
    SyncToolTest() {
        box.Make("A", {});
        box.Make("B", {});
        Sandbox::EmptyTrash();
    }

    // A project over the sandbox's folders: (name, A, B, checked) per profile.
    QString Project(const QList<std::tuple<QString, QString, QString, bool>>& profiles) const {
        QByteArray text = "[General]\r\nNumOfItems=" + QByteArray::number(profiles.size()) + "\r\n";
        for (qsizetype i = 0; i < profiles.size(); ++i) {
            const auto& [name, a, b, checked] = profiles[i];
            text += "[Item" + QByteArray::number(i) + "]\r\nChecked=" + (checked ? "1" : "0") +
                    "\r\nName=" + name.toLocal8Bit() + "\r\nDirA=" + box.NativePath(a) +
                    "\r\nDirB=" + box.NativePath(b) + "\r\n";
        }
        QFile file(box.Path("p.kvx"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return box.Path("p.kvx");
    }
    QString OneProfile() const { return Project({{"Test", "A", "B", true}}); }

    Sandbox box;
};

TEST_F(SyncToolTest, HelpCoversEveryOptionAndVersionNamesTheRelease) {
    const Result help = RunTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--item N", "--list", "-n, --dry-run", "--yes", "--no",
                               "--allow-empty-side", "--help", "--version"}) {
        EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;
    }
    for (const char* status :
         {"\n  0  every", "\n  1  a profile", "\n  2  a usage", "\n  3  every", "\nA dry run"}) {
        EXPECT_TRUE(help.out.contains(QLatin1String(status))) << status;
    }
    const Result version = RunTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("kalvex-sync 1.01 Beta\n"));
}

TEST_F(SyncToolTest, UsageErrorsExitWithTwoAndSynchroniseNothing) {
    box.Make("A", {{"f", "x"}});
    const QString project = OneProfile();
    const std::vector<QStringList> cases = {{},
                                            {"--bogus", project},
                                            {"--item", "x", project},
                                            {"--item"},
                                            {"--yes", "--no", project},
                                            {project, project},
                                            {box.Path("missing.kvx")},
                                            {box.Path("A")}};
    for (const QStringList& arguments : cases) {
        const Result result = RunTool(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_FALSE(result.err.isEmpty());
    }
    EXPECT_TRUE(box.Describe("B").isEmpty());
}

TEST_F(SyncToolTest, ListPrintsTheProfilesAsRead) {
    const QString project = Project({{"First", "A", "B", true}, {"Second", "C", "D", false}});
    const Result result = RunTool({"--list", project});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, QStringLiteral("0\t1\tFirst\t%1\t%2\n1\t0\tSecond\t%3\t%4\n")
                              .arg(box.Path("A"), box.Path("B"), box.Path("C"), box.Path("D")));
}

TEST_F(SyncToolTest, WithoutATerminalTheMissingLogQuestionIsAnsweredNo) {
    box.Make("A", {{"f", "x"}});
    const Result result = RunTool({OneProfile()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, QStringLiteral("Synchronizing Test:\nDone.\n"));
    EXPECT_EQ(result.err, QStringLiteral("Confirmation: Couldn't find the previous log file.\n"
                                         "Therefore, no files or folders will be deleted.\n\n"
                                         "Do you want to continue?\n"));
    EXPECT_TRUE(box.Describe("B").isEmpty());
}

TEST_F(SyncToolTest, RowsGoToStandardOutputWithTimeAAlwaysDirectoryAsSide) {
    box.Make("A", {{"a.txt", "a", 0}, {"docs/"}});
    box.Make("B", {{"b.txt", "b", 0}});
    const QString project = OneProfile();
    const Result first = RunTool({"--yes", project});
    EXPECT_EQ(first.exitCode, 0);
    const QString t = QStringLiteral("5 Mar 2024 10:20:30");
    EXPECT_EQ(first.out, QStringLiteral("Synchronizing Test:\n"
                                        "  a.txt\t%1\t>>\t-\n"
                                        "  docs\t*\t>>\t-\n"
                                        "  b.txt\t-\t<<\t%1\n"
                                        "Done.\n")
                             .arg(t));
    EXPECT_FALSE(first.err.contains(u'\r'));  // no progress line without a terminal

    QFile::remove(box.Path("B/a.txt"));
    const Result second = RunTool({"--no", project});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.out,
              QStringLiteral("Synchronizing Test:\n  a.txt\t%1\tX-\t-\nDone.\n").arg(t));
    EXPECT_TRUE(second.err.isEmpty());
    EXPECT_EQ(Sandbox::TrashContent(), QStringList{"a.txt=a@0"});
}

TEST_F(SyncToolTest, EmptySideDeletesNothingUnlessAllowedInAdvance) {
    box.Make("A", {{"a", "1"}});
    const QString project = OneProfile();
    ASSERT_EQ(RunTool({"--yes", project}).exitCode, 0);
    // Directory B is an unplugged drive now: its mount point is empty.
    QFile::remove(box.Path("B/a"));
    const Result refused = RunTool({"--yes", project});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.startsWith(
        QStringLiteral("Confirmation: The folder %1/ is empty").arg(box.Path("B"))))
        << refused.err.toStdString();
    EXPECT_EQ(box.Describe("A").filter(QStringLiteral("a=")), QStringList{"a=1@0"});

    const Result allowed = RunTool({"--allow-empty-side", project});
    EXPECT_EQ(allowed.exitCode, 0);
    EXPECT_TRUE(allowed.out.contains(QStringLiteral("  a\t")));
    EXPECT_EQ(Sandbox::TrashContent(), QStringList{"a=1@0"});
}

TEST_F(SyncToolTest, ProjectPathAsGivenNamesTheLogFile) {
    OneProfile();
    QFile::rename(box.Path("p.kvx"), box.Path("night.backup.kvx"));
    const Result result = RunTool({"--yes", "night.backup.kvx"}, box.Path());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(QFile::exists(box.Path("A/kvx_night.backup.log")));
}

TEST_F(SyncToolTest, ItemRunsOneProfileAndAnIndexOutsideRunsNothing) {
    box.Make("C", {{"c", "1"}});
    box.Make("D", {});
    box.Make("A", {{"a", "1"}});
    const QString project = Project({{"First", "A", "B", true}, {"Second", "C", "D", false}});
    const Result one = RunTool({"--yes", "--item", "1", project});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_TRUE(one.out.startsWith(QStringLiteral("Synchronizing Second:\n  c\t")));
    EXPECT_TRUE(box.Describe("B").isEmpty());

    const Result outside = RunTool({"--yes", "--item=7", project});
    EXPECT_EQ(outside.exitCode, 0);
    EXPECT_EQ(outside.out, QStringLiteral("Done.\n"));
    EXPECT_EQ(outside.err,
              QStringLiteral("kalvex-sync: the project \"%1\" has no profile at index 7: nothing "
                             "to run.\n")
                  .arg(project));
}

TEST_F(SyncToolTest, MissingFolderStopsTheSequenceWithExitOne) {
    const QString project = Project({{"Gone", "nowhere", "B", true}, {"Never", "A", "B", true}});
    const Result result = RunTool({"--yes", project});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, QStringLiteral("Done.\n"));
    EXPECT_EQ(
        result.err,
        QStringLiteral("Error!: Couldn't find the parent folder:%1/\n").arg(box.Path("nowhere")));
}

TEST_F(SyncToolTest, DirectoryInsideTheOtherIsRefusedWithExitOne) {
    box.Make("B", {{"inner/"}, {"b", "2"}});
    const QString project =
        Project({{"Nested", "A/../B/inner", "B/", true}, {"Never", "A", "B", true}});
    const Result result = RunTool({"--yes", project});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, QStringLiteral("Done.\n"));
    EXPECT_EQ(result.err, QStringLiteral("Error!: Directory A and Directory B must be two separate "
                                         "folders, neither inside the other.\nDirectory A: "
                                         "%1/\nDirectory B: %2/\n")
                              .arg(box.Path("A/../B/inner"), box.Path("B/")));
    EXPECT_EQ(box.Describe("B"), (QStringList{"b=2@0", "inner/"}));
    EXPECT_TRUE(box.Describe("A").isEmpty());
}

TEST_F(SyncToolTest, NoCheckedProfileIsSuccessAndSaidOnStandardError) {
    for (const bool anyProfile : {true, false}) {
        const Result result =
            RunTool({anyProfile ? Project({{"Off", "A", "B", false}}) : Project({})});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, QStringLiteral("Done.\n"));
        EXPECT_EQ(result.err, QStringLiteral("kalvex-sync: the project \"%1\" has no checked "
                                             "profile: nothing to run.\n")
                                  .arg(box.Path("p.kvx")));
    }
}

TEST_F(SyncToolTest, ProjectFileStartingWithAByteOrderMarkRuns) {
    box.Make("A", {{"f", "x"}});
    const QString project = OneProfile();
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray text = file.readAll();
    file.seek(0);
    file.write("\xEF\xBB\xBF" + text);
    file.close();
    const Result result = RunTool({"--yes", project});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.startsWith(QStringLiteral("Synchronizing Test:\n  f\t")))
        << result.out.toStdString();
    EXPECT_EQ(box.Describe("B"), QStringList{"f=x@0"});
}

TEST_F(SyncToolTest, DirectoryACutToItsParentIsRefused) {
    // A folder whose path with its separator fills the reader's buffer exactly: the cut
    // value of its sub-folder's path names it.
    QString parent = box.Path("A");
    while (parent.size() < 2046) {
        parent += u'/' + QString(std::min<qsizetype>(200, 2046 - parent.size() - 1), u'p');
    }
    ASSERT_EQ(parent.size(), 2046);
    ASSERT_TRUE(QDir().mkpath(parent + "/child"));
    QFile(parent + "/beside").open(QIODevice::WriteOnly);
    QFile(parent + "/child/inside").open(QIODevice::WriteOnly);
    QFile file(box.Path("p.kvx"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\r\nNumOfItems=1\r\n[Item0]\r\nName=Deep\r\nDirA=" +
               QFile::encodeName(parent + "/child") + "\r\nDirB=" + box.NativePath("B") + "\r\n");
    file.close();
    const Result result = RunTool({"--yes", box.Path("p.kvx")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, QStringLiteral("Done.\n"));
    EXPECT_EQ(result.err, QStringLiteral("Error!: The profile \"Deep\" was not run: its name or a "
                                         "folder in the project file is 2047 bytes or longer and "
                                         "may have been cut.\n"));
    EXPECT_TRUE(box.Describe("B").isEmpty());
    EXPECT_FALSE(QFile::exists(parent + "/kvx_p.log"));
    EXPECT_FALSE(QFile::exists(parent + "/child/kvx_p.log"));
}

class FailureExitTest;

struct FailureCase {
    const char* name;
    bool (*make)(FailureExitTest& test);  // builds the fault; false where it cannot be made
    const char* error;                    // a line of standard error
};
KALVEX_NAMED_CASE(FailureCase)

// Runs that go to their end but could not copy or delete everything exit with 3.
class FailureExitTest : public SyncToolTest, public testing::WithParamInterface<FailureCase> {
public:
    Sandbox& Box() { return box; }

    // What holds a fault until the test ends, before the sandbox goes.
    std::optional<ReadOnlyMount> readOnly;
    std::optional<ImmutableFile> immutable;
    std::optional<SmallFileSystem> disk;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_P(FailureExitTest, RunToItsEndWithAFailureExitsWithThree) {
    if (!GetParam().make(*this)) {
        GTEST_SKIP() << "the fault cannot be made here (needs root, tmpfs and file flags)";
    }
    const Result result = RunTool({"--yes", OneProfile()}, QString(), environment);
    EXPECT_EQ(result.exitCode, 3) << result.err.toStdString();
    EXPECT_TRUE(result.out.endsWith(QStringLiteral("Done.\n")));
    EXPECT_TRUE(result.err.contains(QLatin1String(GetParam().error) + u'\n'))
        << result.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailureExitTest,
    testing::Values(
        FailureCase{"read_only_target",
                    [](FailureExitTest& test) {
                        test.Box().Make("A", {{"f", "new"}});
                        return test.readOnly.emplace(test.Box().Path("B")).Mounted();
                    },
                    "Error!: Failed to copy: f"},
        FailureCase{"fifo",
                    [](FailureExitTest& test) {
                        return ::mkfifo(test.Box().NativePath("A/pipe").constData(), 0600) == 0;
                    },
                    "Error!: Failed to copy: pipe"},
        FailureCase{"immutable_file",
                    [](FailureExitTest& test) {
                        test.Box().Make("A", {{"f", "new", 60}});
                        test.Box().Make("B", {{"f", "old", 0}});
                        return test.immutable.emplace(test.Box().Path("B/f")).Supported();
                    },
                    "Error!: Failed to copy: f"},
        FailureCase{"folder_copy_cut_short_by_a_full_disk",
                    [](FailureExitTest& test) {
                        test.Box().Make("A", {{"d/"},
                                              {"d/1", QByteArray(512 << 10, '1')},
                                              {"d/2", QByteArray(512 << 10, '2')},
                                              {"d/3", QByteArray(512 << 10, '3')}});
                        return test.disk.emplace(test.Box().Path("B"), 1 << 20).Mounted();
                    },
                    "Error!: Failed to copy: d"},
        FailureCase{"trash_that_cannot_take_an_entry",
                    [](FailureExitTest& test) {
                        // Deleted from B since the last run, and no trash to take it.
                        test.Box().Make(
                            "A", {{"gone", "g"}, {"kept", "k"}, {"kvx_p.log", "gone\r\nkept\r\n"}});
                        test.Box().Make("B", {{"kept", "k"}});
                        test.Box().Make("nohome", {{"Trash", "a file where the trash should be"}});
                        test.environment.insert("XDG_DATA_HOME", test.Box().Path("nohome"));
                        return true;
                    },
                    "Error!: Failed to delete: gone"}),
    kCaseName);

TEST_F(SyncToolTest, ProfileThatDidNotRunToItsEndOutranksFailures) {
    ASSERT_EQ(::mkfifo(box.NativePath("A/pipe").constData(), 0600), 0);
    const Result result =
        RunTool({"--yes", Project({{"Fails", "A", "B", true}, {"Gone", "nowhere", "B", true}})});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("Error!: Failed to copy: pipe\n")));
}

// Every path below the private home (both folders, the log, the project, the trash, the
// settings) with its mode, size, modification and change times, and the bytes of every file.
QStringList Everything() {
    return Snapshot(PrivateHome::Path(), Times::ModificationAndChange);
}

// The messages of standard error that tell of an error.
QStringList ErrorLines(const QString& err) {
    QStringList lines = err.split(u'\n');
    lines.removeIf([](const QString& line) { return !line.startsWith(u"Error!: "); });
    return lines;
}

// Starts the tool without the capabilities that let root read any folder, so that a
// folder's permission bits stop it as they stop any user.
const QStringList kWithoutReadOverride = {"setpriv", "--bounding-set",
                                          "-dac_override,-dac_read_search", "--"};

bool Succeeds(const QStringList& command) {
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(command.front(), command.mid(1));
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

struct DryRunCase {
    const char* name;
    std::vector<Node> a;  // kvx_p.log among them: the previous log file
    std::vector<Node> b;
    int exitCode = 0;            // of the dry run and of the run that follows
    bool warns = false;          // one side is empty: the run would ask first
    const char* shut = nullptr;  // a folder of A that the tool cannot list
};
KALVEX_NAMED_CASE(DryRunCase)

class DryRunTest : public SyncToolTest, public testing::WithParamInterface<DryRunCase> {};

TEST_P(DryRunTest, PrintsWhatTheRunThenDoesAndChangesNothing) {
    const DryRunCase& c = GetParam();
    box.Make("A", c.a);
    box.Make("B", c.b);
    QStringList wrapper;
    if (c.shut) {
        const QString folder = box.Path(QStringLiteral("A/") + c.shut);
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0), 0);
        wrapper = kWithoutReadOverride;
        if (!Succeeds(wrapper + QStringList{"true"}) ||
            Succeeds(wrapper + QStringList{"ls", folder})) {
            GTEST_SKIP() << "cannot start a process that folder permissions hold back";
        }
    }
    const QString project = OneProfile();
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QStringList before = Everything();

    // No answer is given in advance: a dry run asks nothing.
    const Result preview = RunTool({"--dry-run", project}, QString(), environment, wrapper);
    EXPECT_EQ(Everything(), before);
    EXPECT_EQ(preview.exitCode, c.exitCode) << preview.err.toStdString();
    QStringList messages = preview.err.split(u'\n', Qt::SkipEmptyParts);
    if (c.warns) {
        const QString warning = messages.isEmpty() ? QString() : messages.takeLast();
        EXPECT_TRUE(warning.startsWith(
            QStringLiteral("Warning: the folder %1/ is empty").arg(box.Path("B"))))
            << preview.err.toStdString();
    }

    const Result run =
        RunTool({"--yes", "--allow-empty-side", project}, QString(), environment, wrapper);
    EXPECT_NE(Everything(), before) << "the run acts";
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    EXPECT_EQ(preview.out, run.out);
    EXPECT_GT(run.out.count(u'\n'), 2) << "a row between the header and Done.";
    EXPECT_EQ(messages, ErrorLines(run.err)) << "nothing else on standard error";
}

INSTANTIATE_TEST_SUITE_P(
    Trees, DryRunTest,
    testing::Values(
        DryRunCase{"new_newer_and_older_on_both_sides",
                   {{"new_a", "a"},
                    {"newer_a", "a2", 600},
                    {"older_a", "a", 0},
                    {"kvx_p.log", "newer_a\r\nolder_a\r\n"}},
                   {{"new_b", "b"}, {"newer_a", "a1", 0}, {"older_a", "b2", 600}}},
        DryRunCase{"deletions_on_both_sides",
                   {{"kept", "k"},
                    {"gone_from_b", "g"},
                    {"kvx_p.log", "kept\r\ngone_from_b\r\ngone_from_a\r\n"}},
                   {{"kept", "k"}, {"gone_from_a", "g"}}},
        DryRunCase{"a_folder_new_on_each_side_is_not_walked_again",
                   {{"da/"},
                    {"da/sub/"},
                    {"da/sub/x", "x"},
                    {"both/"},
                    {"both/n", "n"},
                    {"kvx_p.log", "both\r\n"}},
                   {{"db/"}, {"db/y", "y"}, {"both/"}}},
        DryRunCase{"kind_conflict", {{"clash", "file"}, {"f", "f"}}, {{"clash/"}}, 3},
        DryRunCase{"folder_that_cannot_be_listed",
                   {{"shut/"}, {"shut/inside", "i"}, {"f", "f"}, {"kvx_p.log", "shut\r\n"}},
                   {{"shut/"}},
                   3,
                   false,
                   "shut"},
        DryRunCase{"an_empty_side_shows_what_yes_would_do",
                   {{"f1", "1"}, {"d/"}, {"d/f2", "2"}, {"kvx_p.log", "f1\r\nd\r\nd\\f2\r\n"}},
                   {},
                   0,
                   true},
        DryRunCase{"no_log_copies_and_deletes_nothing",
                   {{"only_a", "a"}, {"both", "x"}},
                   {{"only_b", "b"}, {"both", "x"}}},
        DryRunCase{"a_leftover_of_a_copy_stays",
                   {{QString::fromLatin1(platform::NewTempName()), "half"}, {"f", "f"}},
                   {}}),
    kCaseName);

// A dry run can be added to the command line of a scheduled run as it stands.
TEST_F(SyncToolTest, AnswersGivenInAdvanceChangeNothingInADryRun) {
    box.Make("A", {{"a", "1"}});  // no log file
    box.Make("C", {{"c", "2"}, {"kvx_p.log", "c\r\n"}});
    box.Make("D", {});  // an empty side
    const QString project = Project({{"NoLog", "A", "B", true}, {"Empty", "C", "D", true}});
    const QString t = QStringLiteral("5 Mar 2024 10:20:30");
    const QString out = QStringLiteral(
                            "Synchronizing NoLog:\n  a\t%1\t>>\t-\n"
                            "Synchronizing Empty:\n  c\t%1\tX-\t-\nDone.\n")
                            .arg(t);
    const QStringList before = Everything();
    for (const QStringList& answers : std::vector<QStringList>{
             {}, {"--yes"}, {"--no"}, {"--allow-empty-side"}, {"--no", "--allow-empty-side"}}) {
        const Result result = RunTool(answers + QStringList{"-n", project});
        EXPECT_EQ(result.exitCode, 0) << answers.join(u' ').toStdString();
        EXPECT_EQ(result.out, out) << answers.join(u' ').toStdString();
        EXPECT_TRUE(result.err.startsWith(
            QStringLiteral("Warning: the folder %1/ is empty").arg(box.Path("D"))))
            << result.err.toStdString();
        EXPECT_EQ(result.err.count(u'\n'), 1) << result.err.toStdString();
    }
    EXPECT_EQ(Everything(), before);
}

// Holds the lock that a run takes on a folder, for the life of the object.
class HeldFolder {
public:
    explicit HeldFolder(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~HeldFolder() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    bool Lock() const { return m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0; }

private:
    const int m_fd;
};

TEST_F(SyncToolTest, DryRunLooksAtFoldersThatAnotherRunHolds) {
    box.Make("A", {{"a", "1"}, {"kvx_p.log", ""}});
    box.Make("B", {{"b", "2"}});
    const QString project = OneProfile();
    const HeldFolder heldA(box.Path("A"));
    const HeldFolder heldB(box.Path("B"));
    ASSERT_TRUE(heldA.Lock());
    ASSERT_TRUE(heldB.Lock());
    const QStringList before = Everything();

    const Result run = RunTool({"--yes", project});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, QStringLiteral("Error!: Another run is synchronizing this folder:%1/\n")
                           .arg(box.Path("A")));

    const Result preview = RunTool({"--dry-run", project});
    EXPECT_EQ(preview.exitCode, 0);
    EXPECT_EQ(preview.out, QStringLiteral("Synchronizing Test:\n"
                                          "  a\t%1\t>>\t-\n"
                                          "  b\t-\t<<\t%1\n"
                                          "Done.\n")
                               .arg(QStringLiteral("5 Mar 2024 10:20:30")));
    EXPECT_TRUE(preview.err.isEmpty()) << preview.err.toStdString();
    EXPECT_EQ(Everything(), before);
}

// Starts the tool on a project and returns once it has begun to write into Directory B.
void StartAndWaitForCopies(QProcess& process, const QString& project, const QString& folderB) {
    process.setProgram(QStringLiteral(KALVEX_SYNC_PATH));
    process.setArguments({"--yes", project});
    process.start();
    ASSERT_TRUE(process.waitForStarted());
    const QDeadlineTimer deadline(20000);
    while (QDir(folderB).isEmpty() && !deadline.hasExpired()) {
        QThread::msleep(1);
    }
}

// `count` files of `size` bytes at the top of a tree, so that an abort meets a file soon.
std::vector<Node> ManyFiles(int count, int size) {
    std::vector<Node> files;
    for (int i = 0; i < count; ++i) {
        files.emplace_back(QStringLiteral("f%1").arg(i), QByteArray(size, 'x'));
    }
    return files;
}

TEST_F(SyncToolTest, InterruptStopsAtTheNextFileAndStillPrintsDone) {
    box.Make("A", ManyFiles(4000, 2048));
    const QString project = OneProfile();
    QProcess process;
    StartAndWaitForCopies(process, project, box.Path("B"));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardOutput().endsWith("Done.\n"));
    EXPECT_TRUE(box.Leftovers().isEmpty());
    EXPECT_FALSE(QFile::exists(box.Path("A/kvx_p.log")));
    EXPECT_LT(box.Describe("B").size(), box.Describe("A").size());

    const Result again = RunTool({"--yes", project});
    EXPECT_EQ(again.exitCode, 0);
    QStringList sideA = box.Describe("A");
    sideA.removeIf([](const QString& line) { return line.startsWith(u"kvx_p.log="); });
    EXPECT_EQ(box.Describe("B"), sideA);
}

TEST_F(SyncToolTest, KilledInTheMiddleOfLargeCopiesLeavesEveryFileOldOrNew) {
    std::vector<Node> large;
    for (int i = 0; i < 16; ++i) {
        large.emplace_back(QStringLiteral("big%1").arg(i, 2, 10, QChar(u'0')),
                           QByteArray(4 << 20, static_cast<char>('a' + i)));
    }
    box.Make("A", large);
    const QString project = OneProfile();
    QProcess process;
    StartAndWaitForCopies(process, project, box.Path("B"));
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(30000));

    // Every file under its real name is whole; a temporary one may be left behind.
    for (const QString& line : box.Describe("B")) {
        if (!line.startsWith(u".kvx~")) {
            EXPECT_TRUE(box.Describe("A").contains(line)) << line.left(40).toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(box.Path("A/kvx_p.log")));

    const Result again = RunTool({"--yes", project});
    EXPECT_EQ(again.exitCode, 0);
    QStringList sideA = box.Describe("A");
    sideA.removeIf([](const QString& line) { return line.startsWith(u"kvx_p.log="); });
    EXPECT_EQ(box.Describe("B"), sideA);  // leftovers removed, every file there
}

TEST_F(SyncToolTest, ClosedStandardOutputDropsRowsAndTheRunGoesOnToItsEnd) {
    // Rows of some 130 bytes each: standard output passes the pipe's buffer several times.
    std::vector<Node> files;
    for (int i = 0; i < 3000; ++i) {
        files.emplace_back(
            QStringLiteral("%1-%2").arg(i, 4, 10, QChar(u'0')).arg(QString(100, u'n')), "x");
    }
    box.Make("A", files);
    const QString project = OneProfile();
    QProcess tool;
    QProcess head;  // reads the first line and goes, as `| head -1` does
    tool.setStandardOutputProcess(&head);
    tool.setStandardInputFile(QProcess::nullDevice());
    head.start(QStringLiteral("head"), {"-n", "1"});
    tool.start(QStringLiteral(KALVEX_SYNC_PATH), {"--yes", project});
    ASSERT_TRUE(head.waitForFinished(60000));
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(head.readAllStandardOutput(), QByteArray("Synchronizing Test:\n"));
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(box.Describe("B").size(), 3000);
    EXPECT_TRUE(QFile::exists(box.Path("A/kvx_p.log")));
}

TEST_F(SyncToolTest, SecondRunOnTheSamePairIsRefusedWhileTheFirstGoesOn) {
    box.Make("A", ManyFiles(3000, 4096));
    const QString project = OneProfile();
    QProcess first;
    StartAndWaitForCopies(first, project, box.Path("B"));
    const Result second = RunTool({"--yes", project});
    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.err, QStringLiteral("Error!: Another run is synchronizing this folder:%1/\n")
                              .arg(box.Path("A")));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(box.Describe("B").size(), 3000);
}

// Runs the tool on a pseudo terminal (standard input, output and error), types `reply`
// once the question is on the screen, and returns what the terminal showed.
Result RunOnTerminal(const QStringList& arguments, const QByteArray& reply) {
    std::vector<QByteArray> storage;
    storage.push_back(KALVEX_SYNC_PATH);
    for (const QString& argument : arguments) {
        storage.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& item : storage) {
        argv.push_back(item.data());
    }
    argv.push_back(nullptr);

    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Result result;
    if (child < 0) {
        ADD_FAILURE() << "forkpty failed";
        return result;
    }
    QByteArray shown;
    bool replied = false;
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        pollfd ready{terminal, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got <= 0) {
            break;  // the tool has ended and closed the terminal
        }
        shown.append(buffer, got);
        if (!replied && shown.contains("[y/N] ")) {
            replied = ::write(terminal, reply.constData(), static_cast<size_t>(reply.size())) ==
                      reply.size();
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = QString::fromLocal8Bit(shown);
    return result;
}

TEST_F(SyncToolTest, OnATerminalTheQuestionIsAskedAndAProgressLineDrawn) {
    box.Make("A", {{"d/"}, {"d/f", "x"}});
    const QString project = OneProfile();
    const Result no = RunOnTerminal({project}, "n\n");
    EXPECT_EQ(no.exitCode, 1) << no.out.toStdString();
    EXPECT_TRUE(no.out.contains(QStringLiteral("Do you want to continue? [y/N] ")));
    EXPECT_TRUE(box.Describe("B").isEmpty());

    const Result yes = RunOnTerminal({project}, "y\n");
    EXPECT_EQ(yes.exitCode, 0) << yes.out.toStdString();
    EXPECT_TRUE(yes.out.contains(QStringLiteral("\rTest: [")));
    EXPECT_TRUE(yes.out.contains(QStringLiteral("Done.")));
    EXPECT_EQ(box.Describe("B"), (QStringList{"d/", "d/f=x@0"}));
}

}  // namespace
}  // namespace kalvex::test
