#include "Folder.h"

#include "FileIo.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

EntryStatus FromStat(const struct stat& st) {
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

EntryStatus FromError(int error) {
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

bool IsAscii(const QByteArray& name) {
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

Folder::Folder(Folder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_error(other.m_error),
      m_realPath(std::move(other.m_realPath)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
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

Folder::~Folder() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Folder Folder::Failed(int error) {
    Folder folder;
    folder.m_error = error;
    return folder;
}

Folder Folder::Open(const QByteArray& path) {
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

Folder Folder::OpenChild(const QByteArray& name) const {
    const int fd =
        ::openat(m_fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return Failed(errno);
    }
    return Folder(fd, m_realPath + name + '/');
}

EntryStatus Folder::Status(const QByteArray& name) const {
    struct stat st;
    if (::fstatat(m_fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return FromError(errno);
    }
    return FromStat(st);
}

bool Folder::ReadEntries(const std::function<bool(const dirent& entry)>& visit, int& error) const {
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
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            error = errno;
            return errno == 0;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        if (!visit(*entry)) {
            return true;
        }
    }
}

bool Folder::List(std::vector<DirEntry>& entries, int& error) const {
    entries.clear();
    std::vector<DirEntry> found;
    const bool read = ReadEntries(
        [&](const dirent& entry) {
            DirEntry item;
            item.name = QByteArray(entry.d_name);
            item.status = Status(item.name);
            // An entry removed since it was listed is simply not there any more.
            if (item.status.kind != EntryKind::Missing) {
                found.push_back(std::move(item));
            }
            return true;
        },
        error);
    if (!read) {
        return false;
    }
    std::sort(found.begin(), found.end(), [](const DirEntry& a, const DirEntry& b) {
        return CompareNames(a.name, b.name) < 0;
    });
    entries = std::move(found);
    return true;
}

int Folder::CountSubFolders() const {
    int count = 0;
    int error = 0;
    ReadEntries(
        [&](const dirent& entry) {
            if (entry.d_type == DT_DIR ||
                (entry.d_type == DT_UNKNOWN && Status(entry.d_name).kind == EntryKind::Folder)) {
                ++count;
            }
            return true;
        },
        error);
    return error == 0 ? count : 0;
}

bool Folder::AnyName(const std::function<bool(QByteArrayView name)>& wanted) const {
    bool found = false;
    int error = 0;
    ReadEntries(
        [&](const dirent& entry) {
            found = wanted(QByteArrayView(entry.d_name));
            return !found;
        },
        error);
    return found;
}

bool Folder::TryLock() const {
    return ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

bool Folder::SameAs(const Folder& other) const {
    struct stat mine;
    struct stat theirs;
    return ::fstat(m_fd, &mine) == 0 && ::fstat(other.m_fd, &theirs) == 0 &&
           mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

bool Folder::Contains(const Folder& other) const {
    struct stat mine;
    struct stat step;
    if (::fstat(m_fd, &mine) != 0 || ::fstat(other.m_fd, &step) != 0) {
        return false;
    }
    // Up from the other folder through "..", the tree as the kernel holds it: neither the
    // spelling of a path nor a link on the way to a folder changes what is met.
    std::optional<platform::Descriptor> parent;  // not the member Descriptor()
    int at = other.m_fd;
    for (;;) {
        if (step.st_dev == mine.st_dev && step.st_ino == mine.st_ino) {
            return true;
        }
        struct stat above;
        parent.emplace(::openat(at, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!parent->IsOpen() || ::fstat(parent->Get(), &above) != 0 ||
            (above.st_dev == step.st_dev && above.st_ino == step.st_ino)) {
            return false;  // the top of the tree, whose ".." is itself, or no way further up
        }
        at = parent->Get();
        step = above;
    }
}

int CompareNames(const QByteArray& a, const QByteArray& b) {
    int byKey = 0;
    if (IsAscii(a) && IsAscii(b)) {
        // The common case, without converting the names.
        const qsizetype common = std::min(a.size(), b.size());
        for (qsizetype i = 0; i < common && byKey == 0; ++i) {
            byKey = static_cast<unsigned char>(UpperAscii(a[i])) -
                    static_cast<unsigned char>(UpperAscii(b[i]));
        }
        if (byKey == 0) {
            byKey = a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
        }
    } else {
        byKey = QString::fromLocal8Bit(a).toUpper().compare(QString::fromLocal8Bit(b).toUpper());
    }
    if (byKey != 0) {
        return byKey < 0 ? -1 : 1;
    }
    return a < b ? -1 : (b < a ? 1 : 0);
}

EntryStatus StatusOf(const QByteArray& path) {
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        return FromError(errno);
    }
    return FromStat(st);
}

bool FolderExists(const QString& path) {
    return !path.isEmpty() && StatusOf(QFile::encodeName(path)).kind == EntryKind::Folder;
}

}  // namespace kalvex::platform
