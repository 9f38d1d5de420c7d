#pragma once

#include "FileIo.h"
#include "Folder.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

namespace kalvex::platform {

// Calls `line` for each line of `text`, in order. Lines end at CR LF, at a CR alone or at an
// LF alone; the text ends at its first zero byte; a line that ends at the end of the text
// adds no empty line after it, while an empty line between two line ends is a line.
void ForEachLine(QByteArrayView text, const std::function<void(QByteArrayView line)>& line);

// Reads a whole file into `content`. Fails when it cannot be opened or read, or when it is
// larger than `maxSize` bytes (EFBIG); `content` is left alone then.
Result ReadWholeFile(const QByteArray& path, qint64 maxSize, QByteArray& content);
// The same for the file `name` of `folder`; a link there is not followed (ELOOP).
Result ReadWholeFileIn(const Folder& folder, const QByteArray& name, qint64 maxSize,
                       QByteArray& content);
// The first `bytes` bytes of the file `name` of `folder` (all of a shorter one).
Result ReadFileStartIn(const Folder& folder, const QByteArray& name, qint64 bytes,
                       QByteArray& content);

}  // namespace kalvex::platform
