#include "LogFile.h"

#include "platform/TextLines.h"

#include <QFile>

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

void LogList::Parse(QByteArray text) {
    Clear();
    m_text = std::move(text);
    // Lines are looked up, never turned into paths: a line that is no relative path
    // (absolute, "..", empty) can only fail to match.
    platform::ForEachLine(m_text, [this](QByteArrayView line) { m_lines.insert(line); });
}

void LogList::Clear() {
    m_lines = {};
    m_text = QByteArray();
}

void LogBuilder::Add(QByteArrayView relativePath) {
    m_text += relativePath;
    m_text += "\r\n";
}

}  // namespace kalvex
