#include "Trash.h"

#include "FileIo.h"
#include "FileSystemAbilities.h"
#include "MoveNoReplace.h"
#include "TempName.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr QByteArrayView kInfoSuffix = ".trashinfo";
// The longest name most file systems take, where the file system does not say.
constexpr long kDefaultNameMax = 255;
// A shortened name keeps the extension of the original when it is no longer than this.
constexpr qsizetype kLongestKeptExtension = 16;

// A trash folder with its "files" and "info" folders open, and the Path its info files give
// for the entry being trashed.
struct TrashFolder {
    Descriptor files{-1};
    Descriptor info{-1};
    QByteArray infoPath;
};

// The folder `name` of `parent`, made (mode 0700) when missing, opened without following a
// link: a link there fails.
Result OpenOrMakeFolder(int parent, const QByteArray& name, Descriptor& folder) {
    if (::mkdirat(parent, name.constData(), 0700) != 0 && errno != EEXIST) {
        return Result::FromErrno();
    }
    folder = Descriptor(::openat(parent, name.constData(), kFolderFlags));
    if (!folder.IsOpen()) {
        return Result::FromErrno();
    }
    return Result::Ok();
}

// A folder of the trash at the top of a file system, where other users may have been before
// us: a real folder (never a link), the user's own, and open to nobody else (mode 0700).
Result OpenOwnFolder(int parent, const QByteArray& name, Descriptor& folder) {
    if (const Result opened = OpenOrMakeFolder(parent, name, folder); !opened) {
        return opened;
    }
    struct stat st;
    if (::fstat(folder.Get(), &st) != 0) {
        const Result failed = Result::FromErrno();
        folder = Descriptor(-1);
        return failed;
    }
    if (st.st_uid != ::geteuid()) {
        folder = Descriptor(-1);
        return Result::Failure(EPERM);
    }
    if ((st.st_mode & 07777) != 0700) {
        // A folder of ours left open is closed. Where the file system keeps no permission bits
        // (exFAT, FAT: the mount gives every entry the same) there is nothing to close.
        static_cast<void>(ChangeMode(folder.Get(), 0700));
    }
    return Result::Ok();
}

using OpenPart = Result (*)(int parent, const QByteArray& name, Descriptor& folder);

Result OpenParts(int base, OpenPart open, TrashFolder& trash) {
    if (const Result files = open(base, "files", trash.files); !files) {
        return files;
    }
    return open(base, "info", trash.info);
}

QByteArray HomeTrashPath() {
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !dataHome.startsWith('/')) {
        const QByteArray home = qgetenv("HOME");
        if (home.isEmpty()) {
            return {};
        }
        dataHome = home + "/.local/share";
    }
    return dataHome + "/Trash";
}

bool MakeParents(const QByteArray& path) {
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1)) {
        if (::mkdir(path.left(slash).constData(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

// The home trash when it is on the file system `device`; `applies` tells whether it is (the
// result means nothing when it is not).
Result OpenHomeTrash(dev_t device, TrashFolder& trash, bool& applies) {
    const QByteArray home = HomeTrashPath();
    applies = false;
    if (home.isEmpty() || !MakeParents(home)) {
        return Result::Failure(ENOENT);
    }
    struct stat st;
    const QByteArray homeParent = home.left(home.lastIndexOf('/'));
    if (::stat(homeParent.constData(), &st) != 0 || st.st_dev != device) {
        return Result::Failure(ENOENT);
    }
    applies = true;
    // The user's own folders: links on the way to them are the user's choice.
    if (::mkdir(home.constData(), 0700) != 0 && errno != EEXIST) {
        return Result::FromErrno();
    }
    const Descriptor base(::open(home.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!base.IsOpen()) {
        return Result::FromErrno();
    }
    return OpenParts(base.Get(), OpenOrMakeFolder, trash);
}

// The top folder of the file system that holds the open folder `folder` (whose status is
// `st`), reached by going up one ".." at a time: never a path that a link could divert.
// `depth` is the number of steps.
Result OpenTop(int folder, struct stat st, Descriptor& top, int& depth) {
    depth = 0;
    Descriptor current(::openat(folder, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    while (current.IsOpen()) {
        Descriptor up(::openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat upSt;
        if (!up.IsOpen() || ::fstat(up.Get(), &upSt) != 0) {
            break;
        }
        if (upSt.st_dev != st.st_dev || upSt.st_ino == st.st_ino) {
            top = std::move(current);  // the parent is on another file system, or this is "/"
            return Result::Ok();
        }
        current = std::move(up);
        st = upSt;
        ++depth;
    }
    return Result::FromErrno();
}

// The last `depth` components of the folder path `folderPath` (which ends in '/'), followed
// by `name`: the entry's path relative to the top of its file system. The whole path where
// the folder's path does not have that many components.
QByteArray PathBelowTop(const QByteArray& folderPath, int depth, const QByteArray& name) {
    qsizetype start = folderPath.size() - 1;
    for (int i = 0; i < depth && start > 0; ++i) {
        start = folderPath.lastIndexOf('/', start - 1);
    }
    if (start < 0) {
        return folderPath + name;
    }
    return folderPath.mid(start + 1) + name;
}

// The trash at the top of a file system, by the freedesktop.org rules: $top/.Trash/$uid when
// $top/.Trash is a real folder with the sticky bit, else $top/.Trash-$uid. Every step is
// opened from the one before, never through a link.
Result OpenTopTrash(int top, TrashFolder& trash) {
    const QByteArray uid = QByteArray::number(::geteuid());
    const Descriptor shared(::openat(top, ".Trash", kFolderFlags));
    struct stat st;
    if (shared.IsOpen() && ::fstat(shared.Get(), &st) == 0 && (st.st_mode & S_ISVTX) != 0) {
        // Why the shared trash cannot be used does not matter: the own one is tried next.
        Descriptor mine(-1);
        if (OpenOwnFolder(shared.Get(), uid, mine) && OpenParts(mine.Get(), OpenOwnFolder, trash)) {
            return Result::Ok();
        }
    }
    Descriptor own(-1);
    if (const Result opened = OpenOwnFolder(top, ".Trash-" + uid, own); !opened) {
        return opened;
    }
    return OpenParts(own.Get(), OpenOwnFolder, trash);
}

Result FindTrash(const Folder& parent, const QByteArray& name, TrashFolder& trash) {
    struct stat st;
    if (::fstat(parent.Descriptor(), &st) != 0) {
        return Result::FromErrno();
    }
    bool inHome = false;
    const Result opened = OpenHomeTrash(st.st_dev, trash, inHome);
    if (inHome) {
        trash.infoPath = parent.RealPath() + name;
        return opened;
    }
    int depth = 0;
    Descriptor top(-1);
    if (const Result found = OpenTop(parent.Descriptor(), st, top, depth); !found) {
        return found;
    }
    // Relative to the top, as the rules for a trash there ask, so that a drive mounted
    // elsewhere later still knows where its entries came from.
    trash.infoPath = PathBelowTop(parent.RealPath(), depth, name);
    return OpenTopTrash(top.Get(), trash);
}

QByteArray TrashInfo(const QByteArray& path) {
    const QByteArray date =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate=" + date + "\n";
}

// The first bytes of `name`, at most `limit` of them, not cutting a UTF-8 character.
QByteArray CutName(const QByteArray& name, qsizetype limit) {
    qsizetype end = std::min(limit, name.size());
    // Continuation bytes (10xxxxxx) belong to the character before; 3 of them at most.
    for (int i = 0; i < 3 && end > 0 && end < name.size() &&
                    (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80;
         ++i) {
        --end;
    }
    return name.left(end);
}

// The entry's name in the trash for the `attempt`th try: its own name, with ".N" from the
// second try on. A name too long for "<name>.trashinfo" to fit in `nameMax` bytes is cut to a
// prefix of whole characters followed by "~N" and its extension, when it has a short one.
QByteArray TrashName(const QByteArray& name, int attempt, long nameMax) {
    const qsizetype limit = static_cast<qsizetype>(nameMax) - kInfoSuffix.size();
    const QByteArray number = QByteArray::number(attempt);
    const QByteArray counted = attempt == 1 ? name : name + '.' + number;
    if (counted.size() <= limit) {
        return counted;
    }
    const qsizetype dot = name.lastIndexOf('.');
    const bool keepExtension = dot > 0 && name.size() - dot <= kLongestKeptExtension;
    const QByteArray extension = keepExtension ? name.mid(dot) : QByteArray();
    const QByteArray tail = '~' + number + extension;
    return CutName(keepExtension ? name.left(dot) : name,
                   std::max<qsizetype>(0, limit - tail.size())) +
           tail;
}

long NameMax(int folder) {
    const long max = ::fpathconf(folder, _PC_NAME_MAX);
    return max > 0 ? max : kDefaultNameMax;
}

}  // namespace

Result MoveToTrash(const Folder& parent, const QByteArray& name) {
    return MoveToTrashAs(parent, name, name);
}

Result MoveToTrashAs(const Folder& parent, const QByteArray& name, const QByteArray& originalName) {
    struct stat st;
    if (::fstatat(parent.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return Result::FromErrno();
    }
    TrashFolder trash;
    if (const Result found = FindTrash(parent, originalName, trash); !found) {
        return found;
    }
    const QByteArray info = TrashInfo(trash.infoPath);
    const long nameMax = NameMax(trash.info.Get());
    // The info file is made first and exclusively: it reserves the name in the trash.
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QByteArray trashName = TrashName(originalName, attempt, nameMax);
        const QByteArray infoName = trashName + kInfoSuffix.toByteArray();
        const int fd = ::openat(trash.info.Get(), infoName.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return Result::FromErrno();
        }
        Descriptor infoFile(fd);
        Result written = WriteAll(infoFile.Get(), info);
        if (written && !infoFile.Close()) {
            written = Result::FromErrno();
        }
        if (!written) {
            ::unlinkat(trash.info.Get(), infoName.constData(), 0);
            return written;
        }
        const Result moved =
            MoveNoReplace(parent.Descriptor(), name, trash.files.Get(), trashName, Moving::Entry);
        if (moved) {
            return moved;
        }
        ::unlinkat(trash.info.Get(), infoName.constData(), 0);
        if (moved.Error() != EEXIST && moved.Error() != ENOTEMPTY) {
            return moved;
        }
    }
    return Result::Failure(EEXIST);
}

Result TrashLeftover(const Folder& parent, const QByteArray& name) {
    if (!IsTempName(name)) {
        return Result::Failure(EINVAL);
    }
    return MoveToTrash(parent, name);
}

}  // namespace kalvex::platform
