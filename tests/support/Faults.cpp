#include "Faults.h"

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kalvex::test {

ImmutableFolder::ImmutableFolder(const QString& path) : m_path(path)
{
    m_set = SetFlag(true);
}

ImmutableFolder::~ImmutableFolder()
{
    if (m_set) {
        SetFlag(false);
    }
}

bool ImmutableFolder::SetFlag(bool on) const
{
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY);
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

}  // namespace kalvex::test
