#pragma once

#include "FileIo.h"
#include "Folder.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

namespace kalvex::platform {

// A text file taken line by line without being held whole: each line is handed on with the
// offset where it starts, and can be read again later by that offset. Lines end at CR LF, at
// a CR alone or at an LF alone, and the text ends at its first zero byte, as ForEachLine
// has it.
class LineFile {
public:
    // Opens the file `name` of `folder`, never through a link; fails when it cannot be opened
    // or read, or is larger than `maxSize` bytes (EFBIG).
    Result Open(const Folder& folder, const QByteArray& name, qint64 maxSize);
    // Takes a text that is in memory already.
    void Take(QByteArray text);

    // Calls `line` for each line. A file is read a piece at a time, so the memory it takes
    // stays small whatever its size; fails when a read fails.
    Result ForEachLine(const std::function<void(QByteArrayView line, qint64 offset)>& line) const;
    // The `length` bytes at `offset`, fewer at the end of the file; empty when they cannot be
    // read.
    QByteArray Read(qint64 offset, qsizetype length) const;
    // The line that starts at `offset`, read `limit` bytes far at most: cut at its end, or
    // `limit` bytes long when it is as long or longer.
    QByteArray ReadLine(qint64 offset, qsizetype limit) const;

private:
    Descriptor m_file{-1};
    QByteArray m_text;  // when taken from memory
};

}  // namespace kalvex::platform
