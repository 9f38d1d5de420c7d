#include "TextLines.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

void ForEachLine(QByteArrayView text, const std::function<void(QByteArrayView line)>& line) {
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0) {
        text = text.first(zero);
    }
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        line(text.sliced(start, end - start));
        if (end < size && text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
    }
}

namespace {

// Reads the file open as `fd`, and closes it: all of it, or with `prefixOnly` at most its
// first `maxSize` bytes.
bool ReadOpened(int fd, qint64 maxSize, bool prefixOnly, QByteArray& content, int& error) {
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        ok = false;
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    } else if (st.st_size > maxSize && !prefixOnly) {
        ok = false;
        error = EFBIG;
    }
    QByteArray data;
    if (ok) {
        data.resize(static_cast<qsizetype>(std::min<qint64>(st.st_size, maxSize)));
        qsizetype got = 0;
        while (got < data.size()) {
            const ssize_t n = ::read(fd, data.data() + got, static_cast<size_t>(data.size() - got));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                ok = false;
                error = errno;
                break;
            }
            if (n == 0) {
                break;
            }
            got += n;
        }
        data.truncate(got);
    }
    ::close(fd);
    if (ok) {
        content = std::move(data);
    }
    return ok;
}

}  // namespace

bool ReadWholeFile(const QByteArray& path, qint64 maxSize, QByteArray& content, int& error) {
    return ReadOpened(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK), maxSize, false,
                      content, error);
}

bool ReadWholeFileIn(const Folder& folder, const QByteArray& name, qint64 maxSize,
                     QByteArray& content, int& error) {
    return ReadOpened(::openat(folder.Descriptor(), name.constData(),
                               O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW),
                      maxSize, false, content, error);
}

bool ReadFileStartIn(const Folder& folder, const QByteArray& name, qint64 bytes,
                     QByteArray& content, int& error) {
    return ReadOpened(::openat(folder.Descriptor(), name.constData(),
                               O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW),
                      bytes, true, content, error);
}

}  // namespace kalvex::platform
