// The test program's own copy_file_range, getdents64, fstatat and syncfs: the platform layer's
// calls land here first, so a test can make one file's copy fail or change under it, or one
// folder fail to list, as a failing disk or a program writing at the same moment would, and
// can act at the moment a file is copied or a file system flushed.
#include "CopyFaults.h"

#include <atomic>
#include <cerrno>
#include <mutex>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::test {
namespace {

std::mutex g_lock;
CopyFault g_fault = CopyFault::None;
QByteArray g_fileName;
QByteArray g_hookedName;
std::function<void()> g_copyHook;
std::function<void(const QByteArray&)> g_syncHook;

// The fault to inject for a call on `fd`, when its path ends in the chosen name.
CopyFault FaultFor(int fd, QByteArray* path = nullptr);

QByteArray PathOf(int fd) {
    char path[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(link.constData(), path, sizeof path);
    return length > 0 ? QByteArray(path, length) : QByteArray();
}

CopyFault FaultFor(int fd, QByteArray* path) {
    const QByteArray found = PathOf(fd);
    if (path != nullptr) {
        *path = found;
    }
    return g_fault != CopyFault::None && found.endsWith('/' + g_fileName) ? g_fault
                                                                          : CopyFault::None;
}

}  // namespace

void SetCopyFault(CopyFault fault, const QByteArray& fileName) {
    const std::lock_guard<std::mutex> guard(g_lock);
    g_fault = fault;
    g_fileName = fileName;
}

void OnCopyOf(const QByteArray& fileName, std::function<void()> hook) {
    const std::lock_guard<std::mutex> guard(g_lock);
    g_hookedName = fileName;
    g_copyHook = std::move(hook);
}

void OnSyncFs(std::function<void(const QByteArray& folder)> hook) {
    const std::lock_guard<std::mutex> guard(g_lock);
    g_syncHook = std::move(hook);
}

}  // namespace kalvex::test

extern "C" int syncfs(int fd) {
    using Real = int (*)(int);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "syncfs"));
    std::function<void(const QByteArray&)> hook;
    {
        const std::lock_guard<std::mutex> guard(kalvex::test::g_lock);
        hook = kalvex::test::g_syncHook;
    }
    if (hook) {
        hook(kalvex::test::PathOf(fd));
    }
    return real(fd);
}

extern "C" ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset,
                                   size_t length, unsigned int flags) {
    using Real = ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "copy_file_range"));
    kalvex::test::CopyFault fault = kalvex::test::CopyFault::None;
    std::function<void()> hook;
    {
        const std::lock_guard<std::mutex> guard(kalvex::test::g_lock);
        QByteArray path;
        fault = kalvex::test::FaultFor(in, &path);
        if (kalvex::test::g_copyHook && path.endsWith('/' + kalvex::test::g_hookedName)) {
            hook = kalvex::test::g_copyHook;
        }
        if (fault == kalvex::test::CopyFault::SourceChanges) {
            const int writer = ::open(path.constData(), O_WRONLY | O_APPEND);
            [[maybe_unused]] const ssize_t written = ::write(writer, "+", 1);
            ::close(writer);
        }
    }
    if (hook) {
        hook();
    }
    if (fault == kalvex::test::CopyFault::ReadError) {
        errno = EIO;
        return -1;
    }
    return real(in, inOffset, out, outOffset, length, flags);
}

extern "C" ssize_t getdents64(int fd, void* buffer, size_t length) {
    using Real = ssize_t (*)(int, void*, size_t);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "getdents64"));
    bool fail = false;
    {
        const std::lock_guard<std::mutex> guard(kalvex::test::g_lock);
        fail = kalvex::test::FaultFor(fd) == kalvex::test::CopyFault::ListError;
    }
    if (fail) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, length);
}

extern "C" int fstatat(int dirFd, const char* name, struct stat* status, int flags) {
    using Real = int (*)(int, const char*, struct stat*, int);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "fstatat"));
    bool fail = false;
    if (name[0] != '\0') {
        const std::lock_guard<std::mutex> guard(kalvex::test::g_lock);
        fail = kalvex::test::g_fault == kalvex::test::CopyFault::StatusError &&
               (kalvex::test::PathOf(dirFd) + '/' + name).endsWith('/' + kalvex::test::g_fileName);
    }
    if (fail) {
        errno = EACCES;
        return -1;
    }
    return real(dirFd, name, status, flags);
}
