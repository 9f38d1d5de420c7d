#include "Folder.h"

#include "FileIo.h"
#include "TempName.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
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
    status.changed = st.st_ctim;
    status.inode = st.st_ino;
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

bool IsAscii(const QByteArray& name) {
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

Version Version::Of(const EntryStatus& status) {
    Version version;
    if (!status.Exists()) {
        return version;
    }
    // splitmix64's finaliser over each field in turn: any change of a field changes the
    // stamp but with a chance of 2^-64.
    const auto mix = [](std::uint64_t h, std::uint64_t value) {
        h ^= value + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
        h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ULL;
        h = (h ^ (h >> 27)) * 0x94d049bb133111ebULL;
        return h ^ (h >> 31);
    };
    std::uint64_t h = static_cast<std::uint64_t>(status.kind);
    for (const std::uint64_t field : {static_cast<std::uint64_t>(status.size), status.inode,
                                      static_cast<std::uint64_t>(status.modified.tv_sec),
                                      static_cast<std::uint64_t>(status.modified.tv_nsec),
                                      static_cast<std::uint64_t>(status.changed.tv_sec),
                                      static_cast<std::uint64_t>(status.changed.tv_nsec)}) {
        h = mix(h, field);
    }
    version.m_stamp = h | 1;  // never the stamp of no entry
    return version;
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
        ::openat(m_fd.Get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return Failed(errno);
    }
    return Folder(fd, m_realPath + name + '/');
}

EntryStatus Folder::Status(const QByteArray& name) const {
    struct stat st;
    if (::fstatat(m_fd.Get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return FromError(errno);
    }
    return FromStat(st);
}

Result Folder::ReadEntries(const std::function<bool(const RawEntry& entry)>& visit) const {
    // A descriptor of its own, as reading moves the position of the one it was opened from.
    // It is read with getdents64 itself: a directory stream would check and flag the new
    // descriptor first, three calls a folder on a walk that makes few others.
    const platform::Descriptor fd(::openat(m_fd.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.IsOpen()) {
        return Result::FromErrno();
    }
    alignas(dirent64) std::array<char, 32 * 1024> buffer;
    for (;;) {
        const ssize_t got = ::getdents64(fd.Get(), buffer.data(), buffer.size());
        if (got <= 0) {
            return got == 0 ? Result::Ok() : Result::FromErrno();
        }
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            if (!visit({name, entry->d_type})) {
                return Result::Ok();
            }
        }
    }
}

Result Folder::List(std::vector<DirEntry>& entries) const {
    entries.clear();
    std::vector<DirEntry> found;
    const Result read = ReadEntries([&](const RawEntry& entry) {
        DirEntry item;
        item.name = QByteArray(entry.name);
        item.status = Status(item.name);
        // An entry removed since it was listed is simply not there any more.
        if (item.status.kind != EntryKind::Missing) {
            found.push_back(std::move(item));
        }
        return true;
    });
    if (!read) {
        return read;
    }
    std::sort(found.begin(), found.end(), [](const DirEntry& a, const DirEntry& b) {
        return CompareNames(a.name, b.name) < 0;
    });
    entries = std::move(found);
    return Result::Ok();
}

int Folder::CountSubFolders() const {
    int count = 0;
    const Result read = ReadEntries([&](const RawEntry& entry) {
        if (entry.type == DT_DIR ||
            (entry.type == DT_UNKNOWN && Status(entry.name).kind == EntryKind::Folder)) {
            ++count;
        }
        return true;
    });
    return read ? count : 0;
}

bool Folder::AnyName(const std::function<bool(QByteArrayView name)>& wanted) const {
    bool found = false;
    // A folder that cannot be read holds no wanted name, as far as the caller can tell.
    static_cast<void>(ReadEntries([&](const RawEntry& entry) {
        found = wanted(QByteArrayView(entry.name));
        return !found;
    }));
    return found;
}

bool Folder::TryLock() const {
    return ::flock(m_fd.Get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

bool Folder::FoldsLetterCase(Probe probe) const {
    // Asked with a name the folder holds: does it, its ASCII letter case swapped, lead to the
    // same entry? That also answers for case-folding folders of file systems that do not.
    std::optional<bool> folds;
    QByteArray swappedName;
    // A folder that cannot be read gives no name to ask with: the answer comes from below.
    static_cast<void>(ReadEntries([this, &folds, &swappedName](const RawEntry& entry) {
        QByteArray swapped(entry.name);
        for (char& c : swapped) {
            c = c >= 'a' && c <= 'z'   ? static_cast<char>(c - 'a' + 'A')
                : c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a')
                                       : c;
        }
        if (swapped == entry.name) {
            return true;  // no letter to ask with
        }
        struct stat named;
        struct stat other;
        if (::fstatat(m_fd.Get(), entry.name, &named, AT_SYMLINK_NOFOLLOW) != 0) {
            return true;
        }
        folds = ::fstatat(m_fd.Get(), swapped.constData(), &other, AT_SYMLINK_NOFOLLOW) == 0;
        // Another inode: a name of its own, or the same file under another inode number,
        // as FUSE file systems may give it; the listing tells which.
        if (*folds && (other.st_dev != named.st_dev || other.st_ino != named.st_ino)) {
            swappedName = swapped;
        }
        return false;
    }));
    if (folds && !swappedName.isEmpty()) {
        bool listed = false;
        // Unread, the swapped name counts as not listed: one name for both spellings.
        static_cast<void>(ReadEntries([&](const RawEntry& entry) {
            listed = swappedName == entry.name;
            return !listed;
        }));
        return !listed;
    }
    if (folds) {
        return *folds;
    }
    if (probe == Probe::MayWrite) {
        // A name of lower-case letters and digits, looked up in upper case.
        const QByteArray name = NewTempName();
        const platform::Descriptor made(
            ::openat(m_fd.Get(), name.constData(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (made.IsOpen()) {
            struct stat st;
            const bool found =
                ::fstatat(m_fd.Get(), name.toUpper().constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
            ::unlinkat(m_fd.Get(), name.constData(), 0);
            return found;
        }
    }
    // Nothing to ask with (an empty folder, say): the file systems known to fold.
    struct statfs fs;
    if (::fstatfs(m_fd.Get(), &fs) != 0) {
        return false;
    }
    constexpr std::array<unsigned long, 4> kFolding = {
        0x4d44,      // FAT
        0x2011bab0,  // exFAT
        0xff534d42,  // CIFS
        0xfe534d42,  // SMB2
    };
    return std::find(kFolding.begin(), kFolding.end(), static_cast<unsigned long>(fs.f_type)) !=
           kFolding.end();
}

bool Folder::IsFileSystemTop() const {
    struct stat mine;
    struct stat parent;
    return ::fstat(m_fd.Get(), &mine) == 0 && ::fstatat(m_fd.Get(), "..", &parent, 0) == 0 &&
           (mine.st_dev != parent.st_dev || mine.st_ino == parent.st_ino);
}

bool Folder::SameAs(const Folder& other) const {
    struct stat mine;
    struct stat theirs;
    return ::fstat(m_fd.Get(), &mine) == 0 && ::fstat(other.m_fd.Get(), &theirs) == 0 &&
           mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

bool Folder::Contains(const Folder& other) const {
    struct stat mine;
    struct stat step;
    if (::fstat(m_fd.Get(), &mine) != 0 || ::fstat(other.m_fd.Get(), &step) != 0) {
        return false;
    }
    // Up from the other folder through "..", the tree as the kernel holds it: neither the
    // spelling of a path nor a link on the way to a folder changes what is met.
    std::optional<platform::Descriptor> parent;  // not the member Descriptor()
    int at = other.m_fd.Get();
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

int CompareNamesIgnoringCase(const QByteArray& a, const QByteArray& b) {
    // The common case, ASCII up to the first difference, without converting the names: an
    // ASCII prefix stands for the same characters in UTF-16, so the result is the one the
    // conversion would give.
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const auto charA = static_cast<unsigned char>(a[i]);
        const auto charB = static_cast<unsigned char>(b[i]);
        if ((charA | charB) >= 0x80) {
            const int byKey =
                QString::fromLocal8Bit(a).toUpper().compare(QString::fromLocal8Bit(b).toUpper());
            return byKey < 0 ? -1 : (byKey > 0 ? 1 : 0);
        }
        const int byKey = static_cast<unsigned char>(UpperAscii(static_cast<char>(charA))) -
                          static_cast<unsigned char>(UpperAscii(static_cast<char>(charB)));
        if (byKey != 0) {
            return byKey < 0 ? -1 : 1;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int CompareNames(const QByteArray& a, const QByteArray& b) {
    const int byKey = CompareNamesIgnoringCase(a, b);
    if (byKey != 0) {
        return byKey;
    }
    return a < b ? -1 : (b < a ? 1 : 0);
}

QByteArray FoldedName(QByteArrayView name) {
    QByteArray folded = name.toByteArray();
    if (IsAscii(folded)) {
        std::transform(folded.begin(), folded.end(), folded.begin(), UpperAscii);
        return folded;
    }
    return QString::fromLocal8Bit(folded).toUpper().toLocal8Bit();
}

bool IsTopTrashName(QByteArrayView name) {
    if (name == ".Trash") {
        return true;
    }
    const QByteArrayView prefix = ".Trash-";
    return name.size() > prefix.size() && name.startsWith(prefix) &&
           std::all_of(name.begin() + prefix.size(), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
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
