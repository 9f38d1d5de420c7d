#include "Faults.h"

#include <QFile>

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace kalvex::test {

ImmutableFolder::ImmutableFolder(const QString& path) : m_path(path) {
    m_set = SetFlag(true);
}

ImmutableFolder::~ImmutableFolder() {
    if (m_set) {
        SetFlag(false);
    }
}

bool ImmutableFolder::SetFlag(bool on) const {
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

ReadOnlyMount::ReadOnlyMount(const QString& path) : m_path(path) {
    const QByteArray native = QFile::encodeName(path);
    // A bind mount takes the read-only flag only when it is mounted again.
    m_mounted = ::mount(native.constData(), native.constData(), nullptr, MS_BIND, nullptr) == 0;
    if (m_mounted && ::mount(nullptr, native.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                             nullptr) != 0) {
        ::umount2(native.constData(), MNT_DETACH);
        m_mounted = false;
    }
}

ReadOnlyMount::~ReadOnlyMount() {
    if (m_mounted) {
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
}

SmallFileSystem::SmallFileSystem(const QString& path, qint64 bytes, const QByteArray& options)
    : m_path(path) {
    const QByteArray all =
        "size=" + QByteArray::number(bytes) + (options.isEmpty() ? QByteArray() : ',' + options);
    m_mounted = ::mount("kalvex-test", QFile::encodeName(path).constData(), "tmpfs", 0,
                        all.constData()) == 0;
}

SmallFileSystem::~SmallFileSystem() {
    if (m_mounted) {
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
}

bool SmallFileSystem::MakeReadOnly() const {
    return ::mount(nullptr, QFile::encodeName(m_path).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                   nullptr) == 0;
}

void SmallFileSystem::Fill() const {
    FillUp(m_path);
}

void FillUp(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder + "/filler").constData(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::vector<char> block(4096, 'f');
    while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
    }
    // The last few bytes of a partly used page.
    while (fd >= 0 && ::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
}

}  // namespace kalvex::test
