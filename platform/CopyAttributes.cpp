#include "CopyAttributes.h"

#include "FileSystemAbilities.h"

#include <QByteArrayView>

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

constexpr QByteArrayView kUserNamespace = "user.";

bool RunningAsRoot() {
    static const bool root = ::geteuid() == 0;  // asked once: the program never changes user
    return root;
}

// The names of the extended attributes of `fd`, each ending in a zero byte; empty where the
// file system has none.
std::vector<char> AttributeNames(int fd) {
    std::vector<char> names(1024);
    for (;;) {
        const ssize_t length = ::flistxattr(fd, names.data(), names.size());
        if (length >= 0) {
            names.resize(static_cast<std::size_t>(length));
            return names;
        }
        if (errno != ERANGE) {
            return {};
        }
        const ssize_t needed = ::flistxattr(fd, nullptr, 0);
        if (needed <= 0) {
            return {};
        }
        names.resize(static_cast<std::size_t>(needed));
    }
}

// Best effort: an attribute that cannot be read or written is left out.
void CopyUserAttributes(int in, int out) {
    const std::vector<char> names = AttributeNames(in);
    std::vector<char> value;
    for (std::size_t at = 0; at < names.size();) {
        const char* name = names.data() + at;
        const QByteArrayView view(name);
        at += static_cast<std::size_t>(view.size()) + 1;
        if (!view.startsWith(kUserNamespace)) {
            continue;  // security., system. (ACLs) and trusted. are not the user's to copy
        }
        const ssize_t size = ::fgetxattr(in, name, nullptr, 0);
        if (size < 0) {
            continue;
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::fgetxattr(in, name, value.data(), value.size());
        if (got < 0) {
            continue;  // changed since its size was read: the next copy takes it
        }
        if (SetAttribute(out, name, value.data(), static_cast<std::size_t>(got)) != 0 &&
            errno == EOPNOTSUPP) {
            return;  // the target's file system holds none: no use trying the others
        }
    }
}

}  // namespace

void KeepAttributes(int in, int out, unsigned permissions) {
    if (RunningAsRoot()) {
        struct stat source;
        if (::fstat(in, &source) == 0) {
            static_cast<void>(ChangeOwner(out, "", source.st_uid, source.st_gid, AT_EMPTY_PATH));
        }
    }
    CopyUserAttributes(in, out);
    // Last: once read-only, the copy could take no attributes from a user other than root.
    static_cast<void>(ChangeMode(out, permissions));
}

void KeepLinkOwner(int fromDir, const QByteArray& name, int toDir, const QByteArray& target) {
    if (!RunningAsRoot()) {
        return;
    }
    struct stat source;
    if (::fstatat(fromDir, name.constData(), &source, AT_SYMLINK_NOFOLLOW) == 0) {
        static_cast<void>(ChangeOwner(toDir, target.constData(), source.st_uid, source.st_gid,
                                      AT_SYMLINK_NOFOLLOW));
    }
}

}  // namespace kalvex::platform
