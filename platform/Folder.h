#pragma once

#include "FileIo.h"
#include "FileTime.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <ctime>
#include <functional>
#include <vector>

namespace kalvex::platform {

enum class EntryKind {
    Missing,  // no such entry
    File,     // a regular file
    Folder,
    Link,     // a symbolic link, never followed
    Special,  // a device, pipe or socket: never opened
    Unknown,  // the status could not be read (see EntryStatus::error)
};

struct EntryStatus {
    EntryKind kind = EntryKind::Missing;
    int error = 0;  // errno when kind is Unknown
    qint64 size = 0;
    std::timespec modified{};
    std::timespec changed{};  // the status change time, where the file system keeps one
    std::uint64_t inode = 0;
    unsigned permissions = 0;  // the permission bits

    bool Exists() const { return kind != EntryKind::Missing && kind != EntryKind::Unknown; }
    PackedTime Packed() const { return PackFileTime(modified.tv_sec); }
};

// A fingerprint of one version of an entry: of its kind, size, modification time, inode and
// change time, which writing, replacing or renaming it changes. Eight bytes, as the walk
// keeps one for each entry of a level.
class Version {
public:
    Version() = default;  // no entry
    static Version Of(const EntryStatus& status);
    bool operator==(const Version& other) const = default;

private:
    std::uint64_t m_stamp = 0;
};

struct DirEntry {
    QByteArray name;
    EntryStatus status;
};

// An open folder. Everything below it is reached through it by name, one component at a
// time, and a link met on the way is never followed, so a folder swapped for a link cannot
// lead outside the tree.
class Folder {
public:
    Folder() = default;
    Folder(Folder&& other) noexcept = default;
    Folder& operator=(Folder&& other) noexcept = default;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder() = default;

    // Opens a folder that the user named; links on the way to it are followed.
    static Folder Open(const QByteArray& path);
    // Opens the sub-folder `name`; fails (ELOOP or ENOTDIR) when it is a link.
    Folder OpenChild(const QByteArray& name) const;

    bool IsOpen() const { return m_fd.IsOpen(); }
    int Error() const { return m_error; }  // errno of a failed open
    int Descriptor() const { return m_fd.Get(); }
    // The absolute path with links resolved, ending in '/'.
    const QByteArray& RealPath() const { return m_realPath; }

    EntryStatus Status(const QByteArray& name) const;

    // The entries of the folder without "." and "..", each with its status, in
    // case-insensitive ordinal order (letter case then decides between equal names).
    // Fails when the folder cannot be read.
    Result List(std::vector<DirEntry>& entries) const;

    // The number of sub-folders (not links to folders); 0 when the folder cannot be read.
    int CountSubFolders() const;

    // True when some entry's name passes `wanted`; false also when the folder cannot be read.
    bool AnyName(const std::function<bool(QByteArrayView name)>& wanted) const;

    // Takes an exclusive advisory lock on the folder, held until it is closed. Returns false
    // only when another process holds one; where the file system has no locks, it goes on.
    bool TryLock() const;

    // True when the folder treats names that differ only in letter case as one name, as
    // FAT, exFAT, most SMB shares and case-folding folders do. A folder that holds no name to
    // ask with is asked with a file of the program's own, made and removed, where `probe`
    // allows it, else judged by its file system's type.
    enum class Probe { ReadOnly, MayWrite };
    bool FoldsLetterCase(Probe probe) const;

    // True when the folder is the top of its file system (a mount point, or "/"), where the
    // trash of that file system lives.
    bool IsFileSystemTop() const;

    // True when both handles name the same folder.
    bool SameAs(const Folder& other) const;

    // True when `other` is this folder or lies anywhere below it, whatever paths named them.
    bool Contains(const Folder& other) const;

private:
    // An entry as the listing gives it: its name, and its kind (DT_*) where the file system
    // tells it (DT_UNKNOWN where not).
    struct RawEntry {
        const char* name;
        unsigned char type;
    };
    // Calls `visit` for each entry but "." and ".." until it returns false; fails when the
    // folder cannot be read.
    Result ReadEntries(const std::function<bool(const RawEntry& entry)>& visit) const;

    Folder(int fd, QByteArray realPath) : m_fd(fd), m_realPath(std::move(realPath)) {}
    static Folder Failed(int error);

    platform::Descriptor m_fd{-1};  // spelt out: Descriptor() names the member function here
    int m_error = 0;
    QByteArray m_realPath;
};

// The order of the names of a level: case-insensitive ordinal (upper case compared), then
// the exact bytes between names that differ only in letter case.
int CompareNames(const QByteArray& a, const QByteArray& b);
// The first part of that order alone: 0 for names that differ only in letter case.
int CompareNamesIgnoringCase(const QByteArray& a, const QByteArray& b);
// A name or relative path in upper case, so that those that differ only in letter case are
// equal.
QByteArray FoldedName(QByteArrayView name);

// The status of the entry at `path` itself; a trailing '/' names the folder a link leads to.
EntryStatus StatusOf(const QByteArray& path);

// True for the names of the trash folders at the top of a file system: ".Trash" and
// ".Trash-" followed by a user id.
bool IsTopTrashName(QByteArrayView name);

// True when the path names a folder; a link to a folder counts only when written with a
// trailing separator.
bool FolderExists(const QString& path);

}  // namespace kalvex::platform
