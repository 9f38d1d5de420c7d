#pragma once

#include "LetterCase.h"

#include "platform/Folder.h"
#include "platform/LineFile.h"
#include "platform/SafeWrite.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace kalvex {

// The file name of a profile's log file in Directory A: "kvx_" and the project file's name,
// its extension replaced by ".log" (an untitled project gives "kvx_.log").
QByteArray LogFileName(const QString& projectFileName);

// Where the log of one pair of folders lives in its Directory A, and how it names its partner.
// A profile that shares its Directory A with no other profile of the project keeps
// "kvx_<project>.log"; profiles that share one keep "kvx_<project>.<partner key>.log" each,
// the key being 8 hexadecimal digits drawn from Directory B. Either way the log's first line
// names Directory B; it starts with a backslash, so that a reader that takes each line as a
// relative path never matches it.
struct LogLocation {
    LogLocation(const QString& projectFileName, const QByteArray& realPathB, bool sharedA);

    QByteArray name;       // where the run writes its log
    QByteArray otherName;  // where a log of this pair stood while A was shared, or not shared
    QByteArray partnerLine;
    bool sharedA;
};

// True for the relative paths that the passes leave alone as log files: those that begin
// with "kvx_" and end in the extension ".log", in exactly that letter case.
bool IsLogFilePath(QByteArrayView relativePath);

// True when a name can stand in a log file line and in a relative path: it holds no line
// end and no backslash, the separator of relative paths.
bool IsLoggableName(QByteArrayView name);

// The previous log file, looked up through an index of its lines' hashes and offsets; the
// lines themselves stay in the file, which is read again only to confirm a match. A line
// matches only the same path exactly, unless letter case is ignored.
class LogList {
public:
    // Reads the log file `name` in `folder`; false (and the list empty) when it cannot be read.
    bool Load(const platform::Folder& folder, const QByteArray& name, LetterCase letterCase);
    // Reads the log of the pair that `location` describes, from whichever of its two names
    // holds one written for that pair; false (and the list empty) when neither does. A log
    // without a partner line, as earlier versions wrote it, counts only under the name of a
    // Directory A that no other profile shares.
    bool Load(const platform::Folder& folder, const LogLocation& location, LetterCase letterCase);
    // Takes the lines of a log file's text.
    void Parse(QByteArray text, LetterCase letterCase = LetterCase::Exact);
    bool Contains(QByteArrayView relativePath) const;
    qsizetype Count() const { return static_cast<qsizetype>(m_lines.size()); }
    // The first line when it names a partner, else empty.
    const QByteArray& PartnerLine() const { return m_partnerLine; }
    void Clear();

private:
    // Eight bytes a line: a hash that tells most lines apart, and where the line starts (a
    // log file is far smaller than 4 GiB). The line itself is read again to confirm a match.
    struct Line {
        std::uint32_t hash;
        std::uint32_t offset;
    };

    platform::Result Index();
    std::uint32_t Hash(QByteArrayView path) const;
    bool Same(QByteArrayView line, QByteArrayView path) const;

    platform::LineFile m_file;
    LetterCase m_letterCase = LetterCase::Exact;
    std::vector<Line> m_lines;  // in the order of their hashes
    QByteArray m_partnerLine;
};

// True when the file `name` of `folder` is a log that names the partner of `partnerLine`.
bool IsLogFor(const platform::Folder& folder, const QByteArray& name,
              const QByteArray& partnerLine);

// The new log file, written line by line in the order of the second pass to a temporary file
// beside the old one, and put in its place only once the run has ended: the old log stays
// as it was until then, and an aborted run leaves nothing of the new one.
class LogBuilder {
public:
    // Starts the log `name` of `folder`, with the line that names its partner.
    void Begin(const platform::Folder& folder, const QByteArray& name, QByteArrayView partnerLine);
    // Adds a line; nothing before Begin (a preview writes no log).
    void Add(QByteArrayView relativePath);
    // Puts the new log in place; fails when a write failed, or when it was never begun
    // (EINVAL).
    platform::Result Commit();
    // Drops what was written.
    void Clear() { m_writer.reset(); }

private:
    std::optional<platform::AtomicFileWriter> m_writer;
};

}  // namespace kalvex
