// Any bytes as a log file: every line that the reader takes is found again by the lookup,
// and nothing crashes.
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
    kalvex::LogList log;
    log.Parse(text);
    for (const QByteArray& line : lines) {
        if (!log.Contains(line)) {
            std::abort();
        }
    }
    if (log.Count() > lines.size()) {
        std::abort();
    }
    return 0;
}
