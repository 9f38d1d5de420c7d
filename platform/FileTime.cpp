#include "FileTime.h"

#include <QDate>
#include <QTime>

namespace kalvex::platform {

PackedTime PackFileTime(std::time_t secondsSinceEpoch) {
    std::tm local{};
    if (localtime_r(&secondsSinceEpoch, &local) == nullptr) {
        return secondsSinceEpoch < 0 ? kFirstPackedTime : kLastPackedTime;
    }
    const int year = local.tm_year + 1900;
    if (year < 1980) {
        return kFirstPackedTime;
    }
    if (year > 2107) {
        return kLastPackedTime;
    }
    // A leap second (tm_sec 60) packs as 58 seconds: the field cannot hold 30.
    const unsigned seconds = std::min(local.tm_sec, 59);
    return (static_cast<PackedTime>(year - 1980) << 25) |
           (static_cast<PackedTime>(local.tm_mon + 1) << 21) |
           (static_cast<PackedTime>(local.tm_mday) << 16) |
           (static_cast<PackedTime>(local.tm_hour) << 11) |
           (static_cast<PackedTime>(local.tm_min) << 5) | (seconds / 2);
}

namespace {

// The locale's long time format without its time-zone part ("t", "tt", ...), which the
// display leaves out; quoted literals are kept as they are.
QString WithoutTimeZone(const QString& format) {
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        }
        if (!quoted && c == u't') {
            continue;
        }
        result += c;
    }
    return result.trimmed();
}

}  // namespace

TimeTextFormat::TimeTextFormat(const QLocale& locale)
    : m_locale(locale),
      m_dateFormat(locale.dateFormat(QLocale::ShortFormat)),
      m_timeFormat(WithoutTimeZone(locale.timeFormat(QLocale::LongFormat))) {}

QString TimeTextFormat::Text(PackedTime packed) const {
    const QDate date(1980 + static_cast<int>(packed >> 25), static_cast<int>((packed >> 21) & 0xF),
                     static_cast<int>((packed >> 16) & 0x1F));
    const QTime time(static_cast<int>((packed >> 11) & 0x1F),
                     static_cast<int>((packed >> 5) & 0x3F), static_cast<int>(packed & 0x1F) * 2);
    const QString dateText = m_locale.toString(date, m_dateFormat);
    if (time == QTime(0, 0)) {
        return dateText;
    }
    return dateText + u' ' + m_locale.toString(time, m_timeFormat);
}

}  // namespace kalvex::platform
