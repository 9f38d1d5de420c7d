#include "platform/IniFile.h"
#include "platform/LineFile.h"
#include "platform/TextLines.h"

#include "Sandbox.h"
#include "TestEnvironment.h"

#include <QList>

#include <gtest/gtest.h>

namespace kalvex::platform {
namespace {

QList<QByteArray> Lines(QByteArrayView text) {
    QList<QByteArray> lines;
    ForEachLine(text, [&lines](QByteArrayView line) { lines.append(line.toByteArray()); });
    return lines;
}

// One byte short of the piece in which a file is read.
const QByteArray kPiece((1 << 20) - 1, 'x');

struct LinesCase {
    const char* name;
    QByteArray text;
    QList<QByteArray> expected;
};
KALVEX_NAMED_CASE(LinesCase)

class ForEachLineTest : public testing::TestWithParam<LinesCase> {};

TEST_P(ForEachLineTest, SplitsAsTheLogFileIsRead) {
    EXPECT_EQ(Lines(GetParam().text), GetParam().expected);
}

// The same lines from a file read a piece at a time, each found again at its offset.
TEST_P(ForEachLineTest, FileReadInPiecesSplitsTheSame) {
    const test::Sandbox box;
    box.Make("r", {{"log", GetParam().text}});
    const Folder folder = Folder::Open(box.NativePath("r"));
    LineFile file;
    const Result opened = file.Open(folder, "log", qint64(1) << 30);
    ASSERT_TRUE(opened) << opened;
    QList<QByteArray> lines;
    ASSERT_TRUE(file.ForEachLine([&](QByteArrayView line, qint64 offset) {
        lines.append(line.toByteArray());
        EXPECT_EQ(file.Read(offset, line.size()), line.toByteArray());
    }));
    EXPECT_EQ(lines.size(), GetParam().expected.size());
    EXPECT_TRUE(lines == GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ForEachLineTest,
    testing::Values(LinesCase{"crlf", "a\r\nb\r\n", {"a", "b"}},
                    LinesCase{"lf_alone", "a\nb\n", {"a", "b"}},
                    LinesCase{"cr_alone", "a\rb\r", {"a", "b"}},
                    LinesCase{"last_line_without_end", "a\r\nb", {"a", "b"}},
                    LinesCase{"empty_line_between_ends", "a\r\n\r\nb\r\n", {"a", "", "b"}},
                    LinesCase{"lf_cr_is_two_ends", "a\n\rb", {"a", "", "b"}},
                    LinesCase{"zero_byte_ends_text", QByteArray("a\r\nb\0c\r\nd", 9), {"a", "b"}},
                    LinesCase{"empty_text", "", {}}, LinesCase{"blanks_kept", " a \r\n", {" a "}},
                    // A file is read a MiB at a time: ends that fall on the edge of a piece.
                    LinesCase{"crlf_across_a_piece", kPiece + "\r\nb", {kPiece, "b"}},
                    LinesCase{"cr_alone_at_a_piece_end", kPiece + "\rb", {kPiece, "b"}},
                    LinesCase{"cr_at_the_very_end", kPiece + "\r", {kPiece}},
                    LinesCase{"zero_after_a_piece", kPiece + QByteArray("\0b", 2), {kPiece}},
                    LinesCase{"line_longer_than_three_pieces",
                              kPiece + kPiece + kPiece + "\nz",
                              {kPiece + kPiece + kPiece, "z"}}),
    kalvex::test::kCaseName);

struct IniCase {
    const char* name;
    QByteArray text;
    const char* section;
    const char* key;
    std::optional<QByteArray> expected;
    bool mayBeCut = false;
};
KALVEX_NAMED_CASE(IniCase)

class IniValueTest : public testing::TestWithParam<IniCase> {};

TEST_P(IniValueTest, ReadsValues) {
    const IniReader ini(GetParam().text);
    EXPECT_EQ(ini.Value(GetParam().section, GetParam().key), GetParam().expected);
    EXPECT_EQ(ini.MayBeCut(GetParam().section, GetParam().key), GetParam().mayBeCut);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniValueTest,
    testing::Values(
        IniCase{"plain", "[General]\r\nNumOfItems=2\r\n", "General", "NumOfItems", "2"},
        IniCase{"utf8_byte_order_mark_skipped", "\xEF\xBB\xBF[General]\r\nNumOfItems=2\r\n",
                "General", "NumOfItems", "2"},
        IniCase{"names_ignore_case", "[GENERAL]\nnumofitems=2\n", "General", "NumOfItems", "2"},
        IniCase{"blanks_around_removed", "[S]\n  Key  =   some value  \n", "S", "Key",
                "some value"},
        IniCase{"double_quotes_removed", "[S]\nKey=\" a \"\n", "S", "Key", " a "},
        IniCase{"single_quotes_removed", "[S]\nKey='b'\n", "S", "Key", "b"},
        IniCase{"unmatched_quotes_kept", "[S]\nKey=\"b'\n", "S", "Key", "\"b'"},
        IniCase{"first_equals_splits", "[S]\nKey=a=b\n", "S", "Key", "a=b"},
        IniCase{"first_occurrence_wins", "[S]\nKey=1\nKey=2\n[S]\nKey=3\n", "S", "Key", "1"},
        IniCase{"other_section_not_read", "[T]\nKey=1\n", "S", "Key", std::nullopt},
        IniCase{"key_before_any_section_ignored", "Key=1\n[S]\n", "S", "Key", std::nullopt},
        IniCase{"line_without_equals_ignored", "[S]\nKey\n", "S", "Key", std::nullopt},
        IniCase{"empty_value", "[S]\nKey=\n", "S", "Key", ""},
        IniCase{"value_cut_to_2047_bytes", "[S]\nKey=" + QByteArray(3000, 'x') + "\n", "S", "Key",
                QByteArray(2047, 'x'), true},
        IniCase{"value_of_2047_bytes_may_be_cut", "[S]\nKey=" + QByteArray(2047, 'x') + "\n", "S",
                "Key", QByteArray(2047, 'x'), true},
        IniCase{"value_of_2046_bytes_is_whole", "[S]\nKey=\"" + QByteArray(2046, 'x') + "\"\n", "S",
                "Key", QByteArray(2046, 'x'), false}),
    kalvex::test::kCaseName);

struct IntegerCase {
    const char* name;
    const char* text;
    std::optional<int> expected;
};
KALVEX_NAMED_CASE(IntegerCase)

class ParseIniIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIniIntegerTest, ReadsDecimalAndHexadecimal) {
    EXPECT_EQ(ParseIniInteger(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseIniIntegerTest,
    testing::Values(IntegerCase{"decimal", "42", 42}, IntegerCase{"negative", "-3", -3},
                    IntegerCase{"hex_lower", "0x1f", 31}, IntegerCase{"hex_upper", "0X1F", 31},
                    IntegerCase{"hex_all_bits", "0xFFFFFFFF", -1},
                    IntegerCase{"max", "2147483647", 2147483647},
                    IntegerCase{"overflow", "2147483648", std::nullopt},
                    IntegerCase{"word", "no", std::nullopt}, IntegerCase{"empty", "", std::nullopt},
                    IntegerCase{"trailing_text", "3x", std::nullopt},
                    IntegerCase{"bare_hex_prefix", "0x", std::nullopt}),
    kalvex::test::kCaseName);

TEST(IniReader, TextKeepsAByteOrderMarkThatStartsAValue) {
    // The mark is skipped at the start of the file only; a folder's name may begin with one.
    const IniReader ini("\xEF\xBB\xBF[Item0]\r\nDirB=\xEF\xBB\xBF E:\r\nName=plain\r\n");
    EXPECT_EQ(ini.ReadString("Item0", "DirB", {}), QChar(0xFEFF) + QStringLiteral(" E:"));
    EXPECT_EQ(ini.ReadString("Item0", "Name", {}), QStringLiteral("plain"));
    // A character cut at the end of a value is not lost without a trace.
    const IniReader cut("[Item0]\r\nDirA=D:\\x \xEF\xBB\r\n");
    EXPECT_EQ(cut.ReadString("Item0", "DirA", {}), QString::fromLocal8Bit("D:\\x \xEF\xBB"));
}

TEST(IniReader, DefaultsWhenMissingOrNotAnInteger) {
    const IniReader ini("[S]\nNumber=abc\nFlag=no\nZero=0\nTwo=2\n");
    EXPECT_EQ(ini.ReadInteger("S", "Number", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "Missing", 5), 5);
    EXPECT_TRUE(ini.ReadBool("S", "Flag", true));
    EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "Two", false));
    EXPECT_EQ(ini.ReadString("Missing", "Key", QStringLiteral("x")), QStringLiteral("x"));
}

TEST(IniWriter, WritesSectionsAndKeysInOrderWithCrLf) {
    IniWriter ini;
    ini.BeginSection("General");
    ini.WriteInteger("NumOfItems", 1);
    ini.BeginSection("Item0");
    ini.WriteBool("Checked", false);
    ini.WriteString("Name", QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(ini.Text(), QByteArray("[General]\r\nNumOfItems=1\r\n[Item0]\r\nChecked=0\r\n"
                                     "Name=Caf\xc3\xa9\r\n"));
}

}  // namespace
}  // namespace kalvex::platform
