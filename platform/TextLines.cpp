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

// How much of a file to read: all of it (failing when it is larger than the limit), or as
// much of its start as the limit allows.
enum class Reading { Whole, Start };

// Reads the file open as `file` (not open: the errno of the failed open), up to `maxSize` bytes.
Result ReadOpened(const Descriptor& file, qint64 maxSize, Reading what, QByteArray& content) {
    if (!file.IsOpen()) {
        return Result::FromErrno();
    }
    const int fd = file.Get();
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        return Result::FromErrno();
    }
    if (!S_ISREG(st.st_mode)) {
        return Result::Failure(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    if (st.st_size > maxSize && what == Reading::Whole) {
        return Result::Failure(EFBIG);
    }
    QByteArray data;
    data.resize(static_cast<qsizetype>(std::min<qint64>(st.st_size, maxSize)));
    qsizetype got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, static_cast<size_t>(data.size() - got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Result::FromErrno();
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    data.truncate(got);
    content = std::move(data);
    return Result::Ok();
}

}  // namespace

Result ReadWholeFile(const QByteArray& path, qint64 maxSize, QByteArray& content) {
    return ReadOpened(Descriptor(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)),
                      maxSize, Reading::Whole, content);
}

Result ReadWholeFileIn(const Folder& folder, const QByteArray& name, qint64 maxSize,
                       QByteArray& content) {
    return ReadOpened(Descriptor(::openat(folder.Descriptor(), name.constData(),
                                          O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW)),
                      maxSize, Reading::Whole, content);
}

Result ReadFileStartIn(const Folder& folder, const QByteArray& name, qint64 bytes,
                       QByteArray& content) {
    return ReadOpened(Descriptor(::openat(folder.Descriptor(), name.constData(),
                                          O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW)),
                      bytes, Reading::Start, content);
}

}  // namespace kalvex::platform
