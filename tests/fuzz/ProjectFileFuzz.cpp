// Any bytes as a project file: reading never crashes, never hangs, never takes more memory
// than the file can describe, and what it accepts writes and reads back the same.
#include "engine/ProjectFile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<kalvex::Profile> profiles;
    QString error;
    if (!kalvex::ParseProjectText(text, QStringLiteral("fuzz.kvx"), profiles, error)) {
        if (error.isEmpty()) {
            std::abort();  // a refusal must say why
        }
        return 0;
    }
    if (profiles.size() > 10000 + text.count('[')) {
        std::abort();
    }
    // Written and read back, it says the same.
    QString refusal;
    const std::optional<QByteArray> written = kalvex::ProjectText(profiles, refusal);
    if (!written) {
        return 0;  // a value that no project file can hold was refused, not cut
    }
    QList<kalvex::Profile> again;
    if (!kalvex::ParseProjectText(*written, QStringLiteral("fuzz.kvx"), again, error) ||
        again != profiles) {
        std::abort();
    }
    return 0;
}
