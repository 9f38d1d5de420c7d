#include "MoveNoReplace.h"

#include "FileIo.h"
#include "FileSystemAbilities.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

// The errors of a linkat on a file system without hard links (exFAT and FAT give EPERM).
bool NoHardLinks(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS;
}

}  // namespace

Result MoveNoReplace(int fromDir, const QByteArray& fromName, int toDir, const QByteArray& toName,
                     Moving what) {
    // EINVAL can also mean a move that no rename can make (a folder into itself), so the lack
    // is noted only once a weaker way has made the move.
    const unsigned known = KnownLacks(toDir);
    bool flagRefused = false;
    if (!Lacks(known, Ability::ExclusiveRename)) {
        if (RenameAt2(fromDir, fromName.constData(), toDir, toName.constData(), RENAME_NOREPLACE) ==
            0) {
            return Result::Ok();
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return Result::FromErrno();
        }
        flagRefused = true;
    }
    bool moved = false;
    if (what == Moving::NewFile && !Lacks(known, Ability::HardLinks)) {
        // A link fails when the name exists; the temporary name is then dropped.
        if (LinkAt(fromDir, fromName.constData(), toDir, toName.constData()) == 0) {
            ::unlinkat(fromDir, fromName.constData(), 0);
            moved = true;
        } else if (NoHardLinks(errno)) {
            NoteLack(toDir, Ability::HardLinks);
        } else {
            return Result::FromErrno();
        }
    }
    if (!moved) {
        // No atomic way here: a name made between the check and the rename would be replaced.
        struct stat existing;
        if (::fstatat(toDir, toName.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            return Result::Failure(EEXIST);
        }
        if (errno != ENOENT) {
            return Result::FromErrno();
        }
        if (::renameat(fromDir, fromName.constData(), toDir, toName.constData()) != 0) {
            return Result::FromErrno();
        }
    }
    if (flagRefused) {
        NoteLack(toDir, Ability::ExclusiveRename);
    }
    return Result::Ok();
}

}  // namespace kalvex::platform
