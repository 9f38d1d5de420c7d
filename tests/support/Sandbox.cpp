#include "Sandbox.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::test {

namespace {

QString TrashFiles() {
    return PrivateHome::Path() + QStringLiteral("/.local/share/Trash/files");
}

void Check(bool ok, const QString& what) {
    if (!ok) {
        throw std::runtime_error(("cannot " + what).toStdString());
    }
}

QStringList DescribeTree(const QString& root) {
    QStringList lines;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = base.relativeFilePath(info.filePath());
        struct stat st;
        Check(::lstat(QFile::encodeName(info.filePath()).constData(), &st) == 0,
              "read " + info.filePath());
        const QString at = QStringLiteral("@%1").arg(st.st_mtim.tv_sec - kBaseTime);
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t length =
                ::readlink(QFile::encodeName(info.filePath()).constData(), target, sizeof target);
            Check(length >= 0, "read the link " + info.filePath());
            lines << relative + QStringLiteral("->") +
                         QString::fromLocal8Bit(target, static_cast<qsizetype>(length)) + at;
        } else if (S_ISDIR(st.st_mode)) {
            lines << relative + u'/';
        } else {
            QFile file(info.filePath());
            Check(file.open(QIODevice::ReadOnly), "open " + info.filePath());
            lines << relative + u'=' + QString::fromLocal8Bit(file.readAll()) + at;
        }
    }
    lines.sort();
    return lines;
}

}  // namespace

void SetTime(const QString& path, int secondsAfterBase) {
    const struct timespec times[2] = {{kBaseTime + secondsAfterBase, 0},
                                      {kBaseTime + secondsAfterBase, 0}};
    Check(
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0,
        "set the time of " + path);
}

Sandbox::Sandbox() : m_dir(PrivateHome::Path() + QStringLiteral("/sandbox-XXXXXX")) {
    Check(m_dir.isValid(), QStringLiteral("make a sandbox"));
}

QString Sandbox::Path(const QString& relative) const {
    return relative.isEmpty() ? m_dir.path() : m_dir.path() + u'/' + relative;
}

QByteArray Sandbox::NativePath(const QString& relative) const {
    return QFile::encodeName(Path(relative));
}

void Sandbox::Make(const QString& root, const std::vector<Node>& nodes) const {
    Check(QDir().mkpath(Path(root)), "make " + root);
    std::vector<QString> folders;
    for (const Node& node : nodes) {
        const QString path = Path(root) + u'/' + node.path;
        Check(QDir().mkpath(QFileInfo(path).absolutePath()), "make the folder of " + path);
        if (node.path.endsWith(u'/')) {
            Check(QDir().mkpath(path), "make " + path);
            folders.push_back(path);
        } else if (!node.linkTarget.isEmpty()) {
            Check(::symlink(node.linkTarget.constData(), QFile::encodeName(path).constData()) == 0,
                  "link " + path);
            SetTime(path, node.seconds);
        } else {
            QFile file(path);
            Check(
                file.open(QIODevice::WriteOnly) && file.write(node.content) == node.content.size(),
                "write " + path);
            file.close();
            SetTime(path, node.seconds);
        }
    }
    // Folder times last: making their content changed them.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        SetTime(*it, 0);
    }
}

QStringList Sandbox::Describe(const QString& root) const {
    return DescribeTree(Path(root));
}

QStringList Sandbox::Leftovers(const QString& root) const {
    QStringList found;
    QDirIterator it(Path(root), {".kvx~*"}, QDir::AllEntries | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found << it.next();
    }
    return found;
}

QStringList Snapshot(const QString& root, Times times) {
    QStringList lines;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
            lines << path.mid(root.size()) + QStringLiteral(" gone");
            continue;
        }
        QString line = QStringLiteral("%1 %2 %3 m%4.%5")
                           .arg(path.mid(root.size()))
                           .arg(st.st_mode, 0, 8)
                           .arg(st.st_size)
                           .arg(st.st_mtim.tv_sec)
                           .arg(st.st_mtim.tv_nsec);
        if (times == Times::ModificationAndChange) {
            line += QStringLiteral(" c%1.%2").arg(st.st_ctim.tv_sec).arg(st.st_ctim.tv_nsec);
        }
        QFile file(path);
        if (S_ISREG(st.st_mode) && file.open(QIODevice::ReadOnly)) {
            line += u' ' + QString::fromLatin1(file.readAll().toHex());
        }
        lines << line;
    }
    lines.sort();
    return lines;
}

QStringList Sandbox::TrashContent() {
    return DescribeTree(TrashFiles());
}

void Sandbox::EmptyTrash() {
    QDir(PrivateHome::Path() + QStringLiteral("/.local/share/Trash")).removeRecursively();
}

}  // namespace kalvex::test
