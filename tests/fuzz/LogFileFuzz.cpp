// Any bytes as a log file: every line that the reader takes is found again by the lookup,
// in either letter case mode, a first line that starts with a backslash being the partner
// line instead; and nothing crashes.
#include "engine/LogFile.h"
#include "platform/TextLines.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<QByteArray> lines;
    kalvex::platform::ForEachLine(text, [&lines](QByteArrayView line) {
        if (line.contains('\r') || line.contains('\n') || line.contains('\0')) {
            std::abort();
        }
        lines.append(line.toByteArray());
    });
    const bool partner = !lines.isEmpty() && lines.front().startsWith('\\');
    if (partner) {
        lines.removeFirst();
    }
    for (const kalvex::LetterCase letterCase :
         {kalvex::LetterCase::Exact, kalvex::LetterCase::Ignored}) {
        kalvex::LogList log;
        log.Parse(text, letterCase);
        if (log.PartnerLine().isEmpty() == partner) {
            std::abort();
        }
        for (const QByteArray& line : lines) {
            if (!log.Contains(line)) {
                std::abort();
            }
        }
        if (log.Count() != lines.size()) {
            std::abort();
        }
    }
    return 0;
}
