#include "Folder.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <numeric>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

EntryStatus FromStat(const struct stat& st)
{
    EntryStatus status;
    if (S_ISREG(st.st_mode)) {
        status.kind = EntryKind::File;
    } else if (S_ISDIR(st.st_mode)) {
        status.kind = EntryKind::Folder;
    } else if (S_ISLNK(st.st_mode)) {
        status.kind = EntryKind::Link;
    } else {
        status.kind = EntryKind::Special;
    }
    status.size = st.st_size;
    status.modified = st.st_mtim;
    status.permissions = st.st_mode & 07777;
    return status;
}

EntryStatus FromError(int error)
{
    EntryStatus status;
    // A missing component on the way counts as missing too: nothing is there.
    if (error == ENOENT || error == ENOTDIR) {
        status.kind = EntryKind::Missing;
    } else {
        status.kind = EntryKind::Unknown;
        status.error = error;
    }
    return status;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Sort key of a name: its upper-case form, as the case-insensitive ordinal order compares.
QString SortKey(const QByteArray& name)
{
    return QString::fromLocal8Bit(name).toUpper();
}

}  // namespace

Folder::Folder(Folder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_error(other.m_error),
      m_realPath(std::move(other.m_realPath))
{
}

Folder& Folder::operator=(Folder&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
        m_error = other.m_error;
        m_realPath = std::move(other.m_realPath);
    }
    return *this;
}

Folder::~Folder()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Folder Folder::Failed(int error)
{
    Folder folder;
    folder.m_error = error;
    return folder;
}

Folder Folder::Open(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return Failed(errno);
    }
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.constData(), nullptr),
                                                     &std::free);
    QByteArray realPath = real ? QByteArray(real.get()) : path;
    if (!realPath.endsWith('/')) {
        realPath += '/';
    }
    return Folder(fd, std::move(realPath));
}

Folder Folder::OpenChild(const QByteArray& name) const
{
    const int fd =
        ::openat(m_fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return Failed(errno);
    }
    return Folder(fd, m_realPath + name + '/');
}

EntryStatus Folder::Status(const QByteArray& name) const
{
    struct stat st;
    if (::fstatat(m_fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return FromError(errno);
    }
    return FromStat(st);
}

bool Folder::List(std::vector<DirEntry>& entries, int& error) const
{
    entries.clear();
    // fdopendir takes the descriptor over, so it gets a fresh one of its own.
    const int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
    if (!dir) {
        error = errno;
        ::close(fd);
        return false;
    }
    std::vector<DirEntry> found;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                error = errno;
                return false;
            }
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        DirEntry item;
        item.name = QByteArray(name);
        item.status = Status(item.name);
        // An entry removed since it was listed is simply not there any more.
        if (item.status.kind != EntryKind::Missing) {
            found.push_back(std::move(item));
        }
    }

    std::vector<QString> keys;
    keys.reserve(found.size());
    for (const DirEntry& item : found) {
        keys.push_back(SortKey(item.name));
    }
    std::vector<std::size_t> order(found.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int byKey = keys[a].compare(keys[b]);
        return byKey != 0 ? byKey < 0 : found[a].name < found[b].name;
    });
    entries.reserve(found.size());
    for (const std::size_t index : order) {
        entries.push_back(std::move(found[index]));
    }
    return true;
}

int Folder::CountSubFolders() const
{
    const int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return 0;
    }
    int count = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        if (entry->d_type == DT_DIR ||
            (entry->d_type == DT_UNKNOWN && Status(name).kind == EntryKind::Folder)) {
            ++count;
        }
    }
    return count;
}

bool Folder::AnyName(const std::function<bool(QByteArrayView name)>& wanted) const
{
    const int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != ".." && wanted(name)) {
            return true;
        }
    }
    return false;
}

bool Folder::TryLock() const
{
    return ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

bool Folder::SameAs(const Folder& other) const
{
    struct stat mine;
    struct stat theirs;
    return ::fstat(m_fd, &mine) == 0 && ::fstat(other.m_fd, &theirs) == 0 &&
           mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

EntryStatus StatusOf(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        return FromError(errno);
    }
    return FromStat(st);
}

bool FolderExists(const QString& path)
{
    return !path.isEmpty() && StatusOf(QFile::encodeName(path)).kind == EntryKind::Folder;
}

}  // namespace kalvex::platform
