#include "LineFile.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

// How much of a file is read at a time.
constexpr qsizetype kChunk = qsizetype(1) << 20;

}  // namespace

Result LineFile::Open(const Folder& folder, const QByteArray& name, qint64 maxSize) {
    m_text.clear();
    m_file = Descriptor(::openat(folder.Descriptor(), name.constData(),
                                 O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!m_file.IsOpen()) {
        return Result::FromErrno();
    }
    struct stat st;
    if (::fstat(m_file.Get(), &st) != 0) {
        return Result::FromErrno();
    }
    if (!S_ISREG(st.st_mode)) {
        return Result::Failure(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    if (st.st_size > maxSize) {
        return Result::Failure(EFBIG);
    }
    return Result::Ok();
}

void LineFile::Take(QByteArray text) {
    m_file = Descriptor(-1);
    m_text = std::move(text);
}

Result LineFile::ForEachLine(
    const std::function<void(QByteArrayView line, qint64 offset)>& line) const {
    // The text read and not yet taken apart, and where it stands in the file.
    QByteArray pending = m_file.IsOpen() ? QByteArray() : m_text;
    qint64 pendingAt = 0;
    qint64 readTo = 0;
    bool atEnd = !m_file.IsOpen();
    for (;;) {
        if (!atEnd) {
            const qsizetype kept = pending.size();
            pending.resize(kept + kChunk);
            const ssize_t got = ::pread(m_file.Get(), pending.data() + kept, kChunk, readTo);
            if (got < 0 && errno == EINTR) {
                pending.resize(kept);
                continue;
            }
            if (got < 0) {
                return Result::FromErrno();
            }
            pending.resize(kept + got);
            readTo += got;
            atEnd = got == 0;
        }
        const qsizetype size = pending.size();
        qsizetype start = 0;
        while (start < size) {
            qsizetype end = start;
            while (end < size && pending[end] != '\n' && pending[end] != '\r' &&
                   pending[end] != '\0') {
                ++end;
            }
            // A line is taken once its end is seen: a CR needs the next byte, to tell CR LF.
            if (!atEnd && (end == size || (pending[end] == '\r' && end + 1 == size))) {
                break;
            }
            if (end < size && pending[end] == '\0') {
                if (end > start) {
                    line(QByteArrayView(pending).sliced(start, end - start), pendingAt + start);
                }
                return Result::Ok();  // the text ends at its first zero byte
            }
            line(QByteArrayView(pending).sliced(start, end - start), pendingAt + start);
            if (end + 1 < size && pending[end] == '\r' && pending[end + 1] == '\n') {
                ++end;
            }
            start = end + 1;
        }
        if (atEnd) {
            return Result::Ok();
        }
        pending.remove(0, start);
        pendingAt += start;
    }
}

QByteArray LineFile::Read(qint64 offset, qsizetype length) const {
    if (!m_file.IsOpen()) {
        return m_text.mid(offset, length);
    }
    QByteArray bytes(length, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < length) {
        const ssize_t n = ::pread(m_file.Get(), bytes.data() + got,
                                  static_cast<size_t>(length - got), offset + got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return {};
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

QByteArray LineFile::ReadLine(qint64 offset, qsizetype limit) const {
    QByteArray line = Read(offset, limit);
    const auto end = std::find_if(line.begin(), line.end(),
                                  [](char c) { return c == '\n' || c == '\r' || c == '\0'; });
    line.truncate(end - line.begin());
    return line;
}

}  // namespace kalvex::platform
