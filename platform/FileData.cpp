#include "FileData.h"

#include "FileIo.h"

#include <QByteArrayView>

#include <algorithm>
#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

// The unit of st_blocks.
constexpr off_t kBlockBytes = 512;

bool Unsupported(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Copies `length` bytes at `offset` of `in` to the same offset of `out`, through user space.
Result CopyByHand(int in, int out, off_t offset, off_t length) {
    std::vector<char> buffer(static_cast<std::size_t>(std::min<off_t>(length, 1 << 20)));
    while (length > 0) {
        const size_t wanted = static_cast<size_t>(std::min<off_t>(length, buffer.size()));
        const ssize_t got = ::pread(in, buffer.data(), wanted, offset);
        if (got == 0) {
            return Result::Ok();
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Result::FromErrno();
        }
        if (::lseek(out, offset, SEEK_SET) < 0) {
            return Result::FromErrno();
        }
        if (const Result written = WriteAll(out, QByteArrayView(buffer.data(), got)); !written) {
            return written;
        }
        offset += got;
        length -= got;
    }
    return Result::Ok();
}

// Copies `length` bytes at `offset` of `in` to the same offset of `out`: in the kernel where
// it can (without a trip through user space), by hand where it cannot.
Result CopyRange(int in, int out, off_t offset, off_t length) {
    off_t inOffset = offset;
    off_t outOffset = offset;
    while (length > 0) {
        const ssize_t done =
            ::copy_file_range(in, &inOffset, out, &outOffset, static_cast<size_t>(length), 0);
        if (done > 0) {
            length -= done;
            continue;
        }
        if (done == 0) {
            return Result::Ok();  // the file got shorter
        }
        if (errno == EINTR) {
            continue;
        }
        if (!Unsupported(errno)) {
            return Result::FromErrno();
        }
        return CopyByHand(in, out, inOffset, length);
    }
    return Result::Ok();
}

// Copies each run of data and leaves the holes between them unwritten.
Result CopySparse(int in, int out, off_t size) {
    for (off_t offset = 0; offset < size;) {
        const off_t data = ::lseek(in, offset, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break;  // a hole up to the end
            }
            return Unsupported(errno) ? CopyRange(in, out, offset, size - offset)
                                      : Result::FromErrno();
        }
        if (data >= size) {
            break;
        }
        const off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0) {
            return Result::FromErrno();
        }
        const off_t end = std::min(hole, size);
        if (const Result copied = CopyRange(in, out, data, end - data); !copied) {
            return copied;
        }
        offset = end;
    }
    // The size, with the last hole.
    return ::ftruncate(out, size) == 0 ? Result::Ok() : Result::FromErrno();
}

}  // namespace

Result CopyFileData(int in, int out, const struct stat& source) {
    // Fewer blocks than bytes means holes (or a file system that compresses, which the run
    // through SEEK_DATA copies just as well).
    if (source.st_blocks * kBlockBytes < source.st_size) {
        return CopySparse(in, out, source.st_size);
    }
    return CopyRange(in, out, 0, source.st_size);
}

}  // namespace kalvex::platform
