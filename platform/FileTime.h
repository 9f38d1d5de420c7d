#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>
#include <ctime>

namespace kalvex::platform {

// A last-write time in local time, packed into 32 bits as a DOS date-time: bits 31-25 the year
// minus 1980, 24-21 the month, 20-16 the day, 15-11 the hour, 10-5 the minute, 4-0 the seconds
// divided by two. Packed values compare as unsigned numbers, so later is always greater.
using PackedTime = std::uint32_t;

// Times before 1980 pack as 1980-01-01 0:00:00, times after 2107 as the last packable time,
// so every file has a packed time.
inline constexpr PackedTime kFirstPackedTime = (1u << 21) | (1u << 16);
inline constexpr PackedTime kLastPackedTime =
    (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;

PackedTime PackFileTime(std::time_t secondsSinceEpoch);

// The display form of packed times: the locale's short date, a blank and the time with its
// seconds and without a time-zone name; the date alone when the time of day is 0:00:00.
class TimeTextFormat {
public:
    explicit TimeTextFormat(const QLocale& locale = QLocale::system());
    QString Text(PackedTime packed) const;

private:
    QLocale m_locale;
    QString m_dateFormat;
    QString m_timeFormat;
};

}  // namespace kalvex::platform
