// The test program's own copy_file_range: the platform layer's calls land here first, so a
// test can make one file's copy fail or change under it, as a failing disk or a program
// writing to the file at the same moment would.
#include "CopyFaults.h"

#include <atomic>
#include <cerrno>
#include <mutex>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace kalvex::test {
namespace {

std::mutex g_lock;
CopyFault g_fault = CopyFault::None;
QByteArray g_fileName;

QByteArray PathOf(int fd)
{
    char path[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(link.constData(), path, sizeof path);
    return length > 0 ? QByteArray(path, length) : QByteArray();
}

}  // namespace

void SetCopyFault(CopyFault fault, const QByteArray& fileName)
{
    const std::lock_guard<std::mutex> guard(g_lock);
    g_fault = fault;
    g_fileName = fileName;
}

}  // namespace kalvex::test

extern "C" ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset,
                                   size_t length, unsigned int flags)
{
    using Real = ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "copy_file_range"));
    kalvex::test::CopyFault fault = kalvex::test::CopyFault::None;
    {
        const std::lock_guard<std::mutex> guard(kalvex::test::g_lock);
        const QByteArray path = kalvex::test::PathOf(in);
        if (kalvex::test::g_fault != kalvex::test::CopyFault::None &&
            path.endsWith('/' + kalvex::test::g_fileName)) {
            fault = kalvex::test::g_fault;
        }
        if (fault == kalvex::test::CopyFault::SourceChanges) {
            const int writer = ::open(path.constData(), O_WRONLY | O_APPEND);
            [[maybe_unused]] const ssize_t written = ::write(writer, "+", 1);
            ::close(writer);
        }
    }
    if (fault == kalvex::test::CopyFault::ReadError) {
        errno = EIO;
        return -1;
    }
    return real(in, inOffset, out, outOffset, length, flags);
}
