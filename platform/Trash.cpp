#include "Trash.h"

#include "FileIo.h"
#include "MoveNoReplace.h"

#include <QByteArray>
#include <QDateTime>
#include <QUrl>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

// A trash folder with its "files" and "info" folders open.
struct TrashFolder {
    Folder files;
    Folder info;
    QByteArray topDir;  // empty for the home trash, whose info holds absolute paths
};

bool MakeFolder(const QByteArray& path) {
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

// Opens `path`/files and `path`/info, making them (and `path`) where they are missing.
bool OpenTrashAt(const QByteArray& path, TrashFolder& trash, int& error) {
    if (!MakeFolder(path) || !MakeFolder(path + "/files") || !MakeFolder(path + "/info")) {
        return Fail(error, errno);
    }
    const Folder base = Folder::Open(path);
    if (!base.IsOpen()) {
        return Fail(error, base.Error());
    }
    trash.files = base.OpenChild("files");
    trash.info = base.OpenChild("info");
    if (!trash.files.IsOpen() || !trash.info.IsOpen()) {
        return Fail(error, trash.files.IsOpen() ? trash.info.Error() : trash.files.Error());
    }
    return true;
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
        if (!MakeFolder(path.left(slash))) {
            return false;
        }
    }
    return true;
}

dev_t DeviceOf(const QByteArray& path, bool& ok) {
    struct stat st;
    ok = ::stat(path.constData(), &st) == 0;
    return ok ? st.st_dev : 0;
}

// The mount point that holds `realPath` (an absolute path without links).
QByteArray TopDirectory(const QByteArray& realPath, dev_t device) {
    QByteArray top = realPath;
    while (top.size() > 1) {
        const qsizetype slash = top.lastIndexOf('/', top.endsWith('/') ? top.size() - 2 : -1);
        const QByteArray parent = slash <= 0 ? QByteArray("/") : top.left(slash);
        bool ok = false;
        if (DeviceOf(parent, ok) != device || !ok) {
            break;
        }
        top = parent;
    }
    if (top.size() > 1 && top.endsWith('/')) {
        top.chop(1);
    }
    return top;
}

// The trash of the file system mounted at `top`: $top/.Trash/$uid when the administrator
// made a shared .Trash (a real folder with the sticky bit), else $top/.Trash-$uid.
bool OpenTopTrash(const QByteArray& top, TrashFolder& trash, int& error) {
    const QByteArray base = top == "/" ? QByteArray() : top;
    const QByteArray uid = QByteArray::number(::getuid());
    struct stat st;
    const QByteArray shared = base + "/.Trash";
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        int sharedError = 0;
        if (OpenTrashAt(shared + '/' + uid, trash, sharedError)) {
            trash.topDir = top;
            return true;
        }
    }
    const QByteArray own = base + "/.Trash-" + uid;
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST) {
        return Fail(error, errno);
    }
    if (::lstat(own.constData(), &st) != 0) {
        return Fail(error, errno);
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        return Fail(error, EPERM);  // not ours: never put files where others placed a link
    }
    if (!OpenTrashAt(own, trash, error)) {
        return false;
    }
    trash.topDir = top;
    return true;
}

bool FindTrash(dev_t device, const QByteArray& realPath, TrashFolder& trash, int& error) {
    const QByteArray home = HomeTrashPath();
    if (!home.isEmpty() && MakeParents(home)) {
        bool ok = false;
        const QByteArray homeParent = home.left(home.lastIndexOf('/'));
        if (DeviceOf(homeParent, ok) == device && ok) {
            return OpenTrashAt(home, trash, error);
        }
    }
    return OpenTopTrash(TopDirectory(realPath, device), trash, error);
}

QByteArray TrashInfo(const QByteArray& path) {
    const QByteArray date =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
    return "[Trash Info]\nPath=" + QUrl::toPercentEncoding(QString::fromLocal8Bit(path), "/") +
           "\nDeletionDate=" + date + "\n";
}

}  // namespace

bool MoveToTrash(const Folder& parent, const QByteArray& name, int& error) {
    struct stat st;
    if (::fstatat(parent.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return Fail(error, errno);
    }
    TrashFolder trash;
    if (!FindTrash(st.st_dev, parent.RealPath(), trash, error)) {
        return false;
    }
    const QByteArray fullPath = parent.RealPath() + name;
    QByteArray infoPath = fullPath;
    if (!trash.topDir.isEmpty()) {
        const QByteArray prefix = trash.topDir == "/" ? QByteArray("/") : trash.topDir + '/';
        if (fullPath.startsWith(prefix)) {
            infoPath = fullPath.mid(prefix.size());
        }
    }
    // The info file is made first and exclusively: it reserves the name in the trash.
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QByteArray trashName = attempt == 1 ? name : name + '.' + QByteArray::number(attempt);
        const QByteArray infoName = trashName + ".trashinfo";
        const int fd = ::openat(trash.info.Descriptor(), infoName.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return Fail(error, errno);
        }
        Descriptor info(fd);
        int writeError = 0;
        if (!WriteAll(info.Get(), TrashInfo(infoPath), writeError) || !info.Close()) {
            ::unlinkat(trash.info.Descriptor(), infoName.constData(), 0);
            return Fail(error, writeError != 0 ? writeError : errno);
        }
        int moveError = 0;
        if (MoveNoReplace(parent.Descriptor(), name, trash.files.Descriptor(), trashName,
                          Moving::Entry, moveError)) {
            return true;
        }
        ::unlinkat(trash.info.Descriptor(), infoName.constData(), 0);
        if (moveError != EEXIST && moveError != ENOTEMPTY) {
            return Fail(error, moveError);
        }
    }
    return Fail(error, EEXIST);
}

}  // namespace kalvex::platform
