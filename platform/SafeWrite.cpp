#include "SafeWrite.h"

#include "FileIo.h"
#include "FileSystemAbilities.h"
#include "TempName.h"

#include <cerrno>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

// The file a link leads to, so that saving through a link keeps the link.
QByteArray ResolveLink(const QByteArray& path) {
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.constData(), nullptr),
                                                     &std::free);
    return real ? QByteArray(real.get()) : path;
}

// Writes `content` under the name `name` of the folder `dirFd`; a link there is followed for
// the checks or not, as the caller wants (the rename always replaces the name itself).
bool ReplaceIn(int dirFd, const QByteArray& name, const QByteArray& content, int& error,
               bool followLink) {
    struct stat existing;
    const int statFlags = followLink ? 0 : AT_SYMLINK_NOFOLLOW;
    const bool exists = ::fstatat(dirFd, name.constData(), &existing, statFlags) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        return Fail(error, EISDIR);
    }
    const bool isFile = exists && S_ISREG(existing.st_mode);
    if (isFile && (existing.st_mode & 0222) == 0) {
        return Fail(error, EACCES);
    }

    const QByteArray temp = NewTempName();
    const int fd = ::openat(dirFd, temp.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return Fail(error, errno);
    }
    bool ok = WriteAll(fd, content, error);
    if (ok && isFile) {
        // Kept where the file system keeps them; FAT refuses bits it cannot store.
        static_cast<void>(ChangeMode(fd, existing.st_mode & 07777));
    }
    if (ok && ::fsync(fd) != 0) {
        ok = Fail(error, errno);
    }
    if (::close(fd) != 0 && ok) {
        ok = Fail(error, errno);
    }
    if (ok && ::renameat(dirFd, temp.constData(), dirFd, name.constData()) != 0) {
        ok = Fail(error, errno);
    }
    if (!ok) {
        ::unlinkat(dirFd, temp.constData(), 0);
    }
    return ok;
}

}  // namespace

bool WriteFileAtomically(const QByteArray& path, const QByteArray& content, int& error) {
    const QByteArray target = ResolveLink(path);
    if (target.isEmpty() || target.endsWith('/')) {
        return Fail(error, target.isEmpty() ? ENOENT : EISDIR);
    }
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folderPath = slash < 0 ? QByteArray(".") : target.left(slash + 1);
    const Folder folder = Folder::Open(folderPath);
    if (!folder.IsOpen()) {
        return Fail(error, folder.Error());
    }
    return ReplaceIn(folder.Descriptor(), target.mid(slash + 1), content, error, true);
}

bool WriteFileAtomicallyIn(const Folder& folder, const QByteArray& name, const QByteArray& content,
                           int& error) {
    return ReplaceIn(folder.Descriptor(), name, content, error, false);
}

}  // namespace kalvex::platform
