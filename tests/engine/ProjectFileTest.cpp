#include "engine/ProjectFile.h"

#include "Sandbox.h"
#include "TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kalvex::test {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

void WriteAll(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

Profile P(bool checked = true, const QString& name = {}, const QString& a = {},
          const QString& b = {}) {
    return Profile{checked, name, a, b};
}

const QList<Profile> kExample = {
    Profile{true, "Documents", "C:\\Documents", "E:\\Backup\\Documents"},
    Profile{false, "Photos", "D:\\Photos", "E:\\Backup\\Photos"},
};

TEST(ProjectFile, WritesTheExampleByteForByte) {
    const Sandbox box;
    QString error;
    ASSERT_TRUE(WriteProjectFile(box.Path("p.kvx"), kExample, error)) << error.toStdString();
    EXPECT_EQ(
        ReadAll(box.Path("p.kvx")),
        QByteArray("[General]\r\nNumOfItems=2\r\n[Item0]\r\nChecked=1\r\nName=Documents\r\n"
                   "DirA=C:\\Documents\r\nDirB=E:\\Backup\\Documents\r\n[Item1]\r\n"
                   "Checked=0\r\nName=Photos\r\nDirA=D:\\Photos\r\nDirB=E:\\Backup\\Photos\r\n"));
}

TEST(ProjectFile, RoundTripKeepsOrderChecksNamesAndFolders) {
    const Sandbox box;
    QList<Profile> profiles = kExample;
    for (int i = 0; i < 11; ++i) {
        profiles.append(Profile{i % 2 == 0, QStringLiteral("n\u00e4me %1").arg(i),
                                QStringLiteral("/a/%1/").arg(i), QStringLiteral("/b/%1").arg(i)});
    }
    QString error;
    ASSERT_TRUE(WriteProjectFile(box.Path("p.kvx"), profiles, error));
    QList<Profile> read;
    ASSERT_TRUE(ReadProjectFile(box.Path("p.kvx"), read, error)) << error.toStdString();
    EXPECT_EQ(read, profiles);
    EXPECT_TRUE(ReadAll(box.Path("p.kvx"))
                    .contains("[Item9]\r\nChecked=0\r\nName=n\xc3\xa4me 7\r\n"
                              "DirA=/a/7/\r\nDirB=/b/7\r\n[Item10]\r\n"));
}

TEST(ProjectFile, ReadingLosesOuterBlanksAndOnePairOfQuotes) {
    const Sandbox box;
    QString error;
    ASSERT_TRUE(WriteProjectFile(
        box.Path("p.kvx"), {Profile{true, "  padded  ", "\"/quoted\"", "'x' and 'y'"}}, error));
    QList<Profile> read;
    ASSERT_TRUE(ReadProjectFile(box.Path("p.kvx"), read, error));
    EXPECT_EQ(read, (QList<Profile>{Profile{true, "padded", "/quoted", "x' and 'y"}}));
}

TEST(ProjectFile, SavingFewerProfilesLeavesNoOldSections) {
    const Sandbox box;
    WriteAll(box.Path("p.kvx"),
             "[General]\r\nNumOfItems=5\r\n[Item3]\r\nName=x\r\n[Item4]\r\n"
             "Name=y\r\n[Other]\r\nKey=1\r\n");
    QString error;
    ASSERT_TRUE(WriteProjectFile(box.Path("p.kvx"), {kExample[0]}, error));
    const QByteArray text = ReadAll(box.Path("p.kvx"));
    EXPECT_FALSE(text.contains("Item3"));
    EXPECT_FALSE(text.contains("Other"));
    EXPECT_TRUE(text.startsWith("[General]\r\nNumOfItems=1\r\n[Item0]\r\n"));
}

TEST(ProjectFile, EmptyProjectIsOnlyTheCount) {
    const Sandbox box;
    QString error;
    ASSERT_TRUE(WriteProjectFile(box.Path("p.kvx"), {}, error));
    EXPECT_EQ(ReadAll(box.Path("p.kvx")), QByteArray("[General]\r\nNumOfItems=0\r\n"));
    QList<Profile> read = kExample;
    ASSERT_TRUE(ReadProjectFile(box.Path("p.kvx"), read, error));
    EXPECT_TRUE(read.isEmpty());
}

struct ReadCase {
    const char* name;
    QByteArray text;
    QList<Profile> expected;
};
KALVEX_NAMED_CASE(ReadCase)

class ProjectReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ProjectReadTest, ReadsByTheRules) {
    const Sandbox box;
    WriteAll(box.Path("p.kvx"), GetParam().text);
    QList<Profile> read;
    QString error;
    ASSERT_TRUE(ReadProjectFile(box.Path("p.kvx"), read, error)) << error.toStdString();
    EXPECT_EQ(read, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProjectReadTest,
    testing::Values(
        ReadCase{"missing_sections_are_checked_empty_rows",
                 "[General]\nNumOfItems=3\n[Item0]\nChecked=0\nName=A\nDirA=/a\nDirB=/b\n",
                 {P(false, "A", "/a", "/b"), P(), P()}},
        ReadCase{"checked_values",
                 "[General]\nNumOfItems=5\n[Item0]\nChecked=0\n[Item1]\nChecked=1\n[Item2]\n"
                 "Checked=2\n[Item3]\nChecked=no\n[Item4]\n",
                 {P(false), P(true), P(true), P(true), P(true)}},
        ReadCase{"names_in_other_letter_case",
                 "[general]\nnumofitems=1\n[ITEM0]\nname=x\nDIRA=/a\ndirb=/b\n",
                 {P(true, "x", "/a", "/b")}},
        ReadCase{"utf8_byte_order_mark_at_the_start",
                 "\xEF\xBB\xBF[General]\r\nNumOfItems=1\r\n[Item0]\r\nName=x\r\nDirA=/a\r\n",
                 {P(true, "x", "/a")}},
        ReadCase{"hexadecimal_count", "[General]\nNumOfItems=0x2\n", {P(), P()}},
        ReadCase{"sections_beyond_the_count_are_ignored",
                 "[General]\nNumOfItems=1\n[Item0]\nName=a\n[Item1]\nName=b\n",
                 {P(true, "a")}},
        ReadCase{"negative_count_is_empty", "[General]\nNumOfItems=-4\n[Item0]\nName=a\n", {}},
        ReadCase{"count_that_is_no_integer_is_empty", "[General]\nNumOfItems=two\n", {}},
        ReadCase{"any_text_file_is_an_empty_project", "just some notes\nabout things\n", {}},
        ReadCase{
            "leading_zero_is_not_item_zero", "[General]\nNumOfItems=1\n[Item00]\nName=x\n", {P()}}),
    kCaseName);

TEST(ProjectFile, RefusesWhatIsNoProjectAndKeepsTheCallersList) {
    const Sandbox box;
    WriteAll(box.Path("binary.kvx"), QByteArray("\x7f"
                                                "ELF\0\0\x01[General]\nNumOfItems=1\n",
                                                30));
    WriteAll(box.Path("huge.kvx"), "[General]\r\nNumOfItems=2147483647\r\n");
    struct Case {
        QString file;
        QString reason;
    };
    for (const Case& c : {Case{"binary.kvx", "not a text file"}, Case{"huge.kvx", "claims"},
                          Case{"missing.kvx", "No such file"}}) {
        QList<Profile> profiles = kExample;
        QString error;
        EXPECT_FALSE(ReadProjectFile(box.Path(c.file), profiles, error)) << c.file.toStdString();
        EXPECT_TRUE(error.contains(box.Path(c.file))) << error.toStdString();
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
        EXPECT_EQ(profiles, kExample);
    }
}

TEST(ProjectFile, LinesOfMegabytesAreReadAndCut) {
    const Sandbox box;
    WriteAll(box.Path("p.kvx"),
             "[General]\r\nNumOfItems=1\r\n[Item0]\r\nName=" + QByteArray(8 << 20, 'n') +
                 "\r\nJunk=" + QByteArray(8 << 20, 'j') + "\r\n");
    QList<Profile> read;
    QString error;
    ASSERT_TRUE(ReadProjectFile(box.Path("p.kvx"), read, error));
    ASSERT_EQ(read.size(), 1);
    EXPECT_EQ(read[0].Name, QString(2047, u'n'));
}

struct CutCase {
    const char* name;
    const char* key;
    int bytes;
    bool mayBeCut;
};
KALVEX_NAMED_CASE(CutCase)

class ProjectCutTest : public testing::TestWithParam<CutCase> {};

TEST_P(ProjectCutTest, ValueThatFillsTheBufferMarksItsProfile) {
    const Sandbox box;
    WriteAll(box.Path("p.kvx"),
             "[General]\r\nNumOfItems=2\r\n[Item0]\r\n" + QByteArray(GetParam().key) + "=/" +
                 QByteArray(GetParam().bytes - 1, 'v') + "\r\n[Item1]\r\nName=next\r\n");
    QList<Profile> read;
    QString error;
    ASSERT_TRUE(ReadProjectFile(box.Path("p.kvx"), read, error));
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(read[0].MayBeCut, GetParam().mayBeCut);
    EXPECT_FALSE(read[1].MayBeCut);
}

INSTANTIATE_TEST_SUITE_P(Table, ProjectCutTest,
                         testing::Values(CutCase{"long_directory_a", "DirA", 3000, true},
                                         CutCase{"long_directory_b", "DirB", 3000, true},
                                         CutCase{"long_name", "Name", 3000, true},
                                         CutCase{"exactly_the_buffer", "DirA", 2047, true},
                                         CutCase{"one_byte_short", "DirA", 2046, false},
                                         CutCase{"other_key", "Notes", 3000, false}),
                         kCaseName);

TEST(ProjectFile, FailedSaveNamesTheFileAndKeepsTheOldOne) {
    const Sandbox box;
    WriteAll(box.Path("ro.kvx"), "old");
    ::chmod(box.NativePath("ro.kvx").constData(), 0444);
    QString error;
    EXPECT_FALSE(WriteProjectFile(box.Path("ro.kvx"), kExample, error));
    EXPECT_TRUE(error.contains(box.Path("ro.kvx"))) << error.toStdString();
    EXPECT_EQ(ReadAll(box.Path("ro.kvx")), QByteArray("old"));

    EXPECT_FALSE(WriteProjectFile(box.Path("no/such/folder/p.kvx"), kExample, error));
    EXPECT_TRUE(error.contains("no/such/folder/p.kvx")) << error.toStdString();
}

TEST(ProjectFile, LineBreakInAValueIsRefusedRatherThanWrittenAsANewLine) {
    const Sandbox box;
    WriteAll(box.Path("p.kvx"), "old");
    QString error;
    EXPECT_FALSE(WriteProjectFile(box.Path("p.kvx"),
                                  {Profile{true, "x", "/a\nNumOfItems=99", "/b"}}, error));
    EXPECT_EQ(ReadAll(box.Path("p.kvx")), QByteArray("old"));
}

}  // namespace
}  // namespace kalvex::test
