#include "platform/FileTime.h"

#include "Sandbox.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

namespace kalvex::platform {
namespace {

struct PackCase {
    const char* name;
    std::time_t seconds;
    PackedTime expected;
};
KALVEX_NAMED_CASE(PackCase)

class PackFileTimeTest : public testing::TestWithParam<PackCase> {};

TEST_P(PackFileTimeTest, PacksLocalTime) {
    EXPECT_EQ(PackFileTime(GetParam().seconds), GetParam().expected);
}

constexpr PackedTime Packed(int year, int month, int day, int hour, int minute, int second) {
    return (static_cast<PackedTime>(year - 1980) << 25) | (static_cast<PackedTime>(month) << 21) |
           (static_cast<PackedTime>(day) << 16) | (static_cast<PackedTime>(hour) << 11) |
           (static_cast<PackedTime>(minute) << 5) | static_cast<PackedTime>(second / 2);
}

// The tests run in UTC.
INSTANTIATE_TEST_SUITE_P(
    Table, PackFileTimeTest,
    testing::Values(PackCase{"base", test::kBaseTime, Packed(2024, 3, 5, 10, 20, 30)},
                    PackCase{"odd_second_drops", test::kBaseTime + 1,
                             Packed(2024, 3, 5, 10, 20, 30)},
                    PackCase{"first_day_of_1980", 315532800, Packed(1980, 1, 1, 0, 0, 0)},
                    PackCase{"before_1980_is_first", 0, kFirstPackedTime},
                    PackCase{"negative_is_first", -86400 * 400, kFirstPackedTime},
                    PackCase{"year_2050", 2524608000, Packed(2050, 1, 1, 0, 0, 0)},
                    PackCase{"last_second_of_2107", 4354819199, Packed(2107, 12, 31, 23, 59, 58)},
                    PackCase{"after_2107_is_last", 4354819200 + 86400 * 30, kLastPackedTime}),
    kalvex::test::kCaseName);

TEST(PackFileTime, LaterTimesCompareGreaterAcrossTheSignBit) {
    // 2050 has bit 31 set: as a signed value it would look older than 2020.
    EXPECT_GT(PackFileTime(2524608000), PackFileTime(1577836800));
    EXPECT_NE(PackFileTime(2524608000), 0xFFFFFFFFu);
}

struct TextCase {
    const char* name;
    const char* locale;
    PackedTime packed;
    const char* expected;
};
KALVEX_NAMED_CASE(TextCase)

class TimeTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(TimeTextTest, ShortDateAndTimeWithSecondsWithoutZone) {
    const TimeTextFormat format{QLocale(QString::fromLatin1(GetParam().locale))};
    EXPECT_EQ(format.Text(GetParam().packed), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, TimeTextTest,
    testing::Values(TextCase{"english", "en_US", Packed(2024, 3, 5, 14, 7, 8), "3/5/24 2:07:08 PM"},
                    TextCase{"german", "de_DE", Packed(2024, 3, 5, 14, 7, 8), "05.03.24 14:07:08"},
                    TextCase{"midnight_is_date_alone", "de_DE", Packed(2024, 3, 5, 0, 0, 0),
                             "05.03.24"},
                    TextCase{"two_seconds_after_midnight", "de_DE", Packed(2024, 3, 5, 0, 0, 2),
                             "05.03.24 00:00:02"}),
    kalvex::test::kCaseName);

}  // namespace
}  // namespace kalvex::platform
