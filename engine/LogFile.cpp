#include "LogFile.h"

#include "platform/TextLines.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHashFunctions>

#include <algorithm>
#include <utility>

namespace kalvex {

namespace {
// Far above any real tree (a million paths take some 50 MB); a larger file is not a log.
constexpr qint64 kMaxLogFileSize = qint64(512) << 20;
}  // namespace

QByteArray LogFileName(const QString& projectFileName) {
    const QByteArray path = QFile::encodeName(projectFileName);
    QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0) {
        name.truncate(dot);
    }
    return "kvx_" + name + ".log";
}

LogLocation::LogLocation(const QString& projectFileName, const QByteArray& realPathB, bool sharedA)
    : sharedA(sharedA) {
    const QByteArray plain = LogFileName(projectFileName);
    const QByteArray key =
        QCryptographicHash::hash(realPathB, QCryptographicHash::Sha256).toHex().left(8);
    const QByteArray keyed = plain.chopped(4) + '.' + key + ".log";
    name = sharedA ? keyed : plain;
    otherName = sharedA ? plain : keyed;
    // Line ends and the escape character itself are escaped, so that any path fits one line.
    partnerLine = "\\partner=" + realPathB.toPercentEncoding("/ !$&'()*+,-.:;=@[]^_`{|}~");
}

bool IsLogFilePath(QByteArrayView relativePath) {
    if (!relativePath.startsWith("kvx_")) {
        return false;
    }
    // The extension starts at the last dot after the last separator.
    const qsizetype dot = relativePath.lastIndexOf('.');
    const qsizetype separator =
        std::max(relativePath.lastIndexOf('\\'), relativePath.lastIndexOf(':'));
    return dot > separator && relativePath.sliced(dot) == ".log";
}

bool IsLoggableName(QByteArrayView name) {
    for (const char c : name) {
        if (c == '\n' || c == '\r' || c == '\\') {
            return false;
        }
    }
    return true;
}

bool LogList::Load(const platform::Folder& folder, const QByteArray& name, LetterCase letterCase) {
    Clear();
    m_letterCase = letterCase;
    if (!m_file.Open(folder, name, kMaxLogFileSize) || !Index()) {
        Clear();
        return false;
    }
    return true;
}

bool LogList::Load(const platform::Folder& folder, const LogLocation& location,
                   LetterCase letterCase) {
    const auto written = [&](const QByteArray& name, bool withoutPartner) {
        if (!Load(folder, name, letterCase)) {
            return false;
        }
        if (m_partnerLine == location.partnerLine || (withoutPartner && m_partnerLine.isEmpty())) {
            return true;
        }
        Clear();  // another pair's log: it says nothing of what this pair deleted
        return false;
    };
    return written(location.name, !location.sharedA) || written(location.otherName, false);
}

void LogList::Parse(QByteArray text, LetterCase letterCase) {
    Clear();
    m_letterCase = letterCase;
    m_file.Take(std::move(text));
    // A text in memory is always read whole.
    static_cast<void>(Index());
}

platform::Result LogList::Index() {
    // Lines are looked up, never turned into paths: a line that is no relative path
    // (absolute, "..", empty) can only fail to match.
    bool first = true;
    const platform::Result read =
        m_file.ForEachLine([this, &first](QByteArrayView line, qint64 offset) {
            if (std::exchange(first, false) && line.startsWith('\\')) {
                m_partnerLine = line.toByteArray();
                return;
            }
            m_lines.push_back({Hash(line), static_cast<std::uint32_t>(offset)});
        });
    std::sort(m_lines.begin(), m_lines.end(),
              [](const Line& a, const Line& b) { return a.hash < b.hash; });
    return read;
}

std::uint32_t LogList::Hash(QByteArrayView path) const {
    const QByteArray folded =
        m_letterCase == LetterCase::Ignored ? platform::FoldedName(path) : QByteArray();
    const QByteArrayView hashed = m_letterCase == LetterCase::Ignored ? folded : path;
    return static_cast<std::uint32_t>(qHashBits(hashed.data(), static_cast<size_t>(hashed.size())));
}

bool LogList::Same(QByteArrayView line, QByteArrayView path) const {
    return m_letterCase == LetterCase::Ignored
               ? platform::FoldedName(line) == platform::FoldedName(path)
               : line == path;
}

bool LogList::Contains(QByteArrayView relativePath) const {
    const std::uint32_t hash = Hash(relativePath);
    // Enough of a line to tell it from the path: one byte more than the path, or, as upper
    // case can take more bytes than lower case, a few times the path.
    const qsizetype enough =
        m_letterCase == LetterCase::Ignored ? 4 * relativePath.size() + 8 : relativePath.size() + 1;
    auto candidate =
        std::lower_bound(m_lines.begin(), m_lines.end(), hash,
                         [](const Line& line, std::uint32_t h) { return line.hash < h; });
    for (; candidate != m_lines.end() && candidate->hash == hash; ++candidate) {
        if (Same(m_file.ReadLine(candidate->offset, enough), relativePath)) {
            return true;
        }
    }
    return false;
}

void LogList::Clear() {
    m_file.Take({});
    m_lines = {};
    m_partnerLine.clear();
}

bool IsLogFor(const platform::Folder& folder, const QByteArray& name,
              const QByteArray& partnerLine) {
    QByteArray start;
    return platform::ReadFileStartIn(folder, name, partnerLine.size() + 2, start) &&
           start == partnerLine + "\r\n";
}

void LogBuilder::Begin(const platform::Folder& folder, const QByteArray& name,
                       QByteArrayView partnerLine) {
    m_writer.emplace(folder, name);
    Add(partnerLine);
}

void LogBuilder::Add(QByteArrayView relativePath) {
    if (m_writer) {
        m_writer->Append(relativePath);
        m_writer->Append("\r\n");
    }
}

platform::Result LogBuilder::Commit() {
    const platform::Result committed =
        m_writer ? m_writer->Commit() : platform::Result::Failure(EINVAL);
    m_writer.reset();
    return committed;
}

}  // namespace kalvex
