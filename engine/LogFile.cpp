#include "LogFile.h"

#include "platform/TextLines.h"

#include <QCryptographicHash>
#include <QFile>

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

bool LogList::Load(const platform::Folder& folder, const QByteArray& name) {
    Clear();
    QByteArray text;
    int error = 0;
    if (!platform::ReadWholeFileIn(folder, name, kMaxLogFileSize, text, error)) {
        return false;
    }
    Parse(std::move(text));
    return true;
}

bool LogList::Load(const platform::Folder& folder, const LogLocation& location) {
    const auto written = [&](const QByteArray& name, bool withoutPartner) {
        if (!Load(folder, name)) {
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

void LogList::Parse(QByteArray text) {
    Clear();
    m_text = std::move(text);
    // Lines are looked up, never turned into paths: a line that is no relative path
    // (absolute, "..", empty) can only fail to match.
    bool first = true;
    platform::ForEachLine(m_text, [this, &first](QByteArrayView line) {
        if (std::exchange(first, false) && line.startsWith('\\')) {
            m_partnerLine = line;
            return;
        }
        m_lines.insert(line);
    });
}

void LogList::IgnoreLetterCase() {
    m_foldedLines.emplace();
    m_foldedLines->reserve(m_lines.size());
    for (const QByteArrayView line : std::as_const(m_lines)) {
        m_foldedLines->insert(platform::FoldedName(line));
    }
}

bool LogList::Contains(QByteArrayView relativePath) const {
    return m_foldedLines ? m_foldedLines->contains(platform::FoldedName(relativePath))
                         : m_lines.contains(relativePath);
}

void LogList::Clear() {
    m_lines = {};
    m_partnerLine = {};
    m_foldedLines.reset();
    m_text = QByteArray();
}

bool IsLogFor(const platform::Folder& folder, const QByteArray& name,
              const QByteArray& partnerLine) {
    QByteArray start;
    int error = 0;
    return platform::ReadFileStartIn(folder, name, partnerLine.size() + 2, start, error) &&
           start == partnerLine + "\r\n";
}

void LogBuilder::Add(QByteArrayView relativePath) {
    m_text += relativePath;
    m_text += "\r\n";
}

}  // namespace kalvex
