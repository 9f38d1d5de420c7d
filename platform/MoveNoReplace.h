#pragma once

#include "FileIo.h"

#include <QByteArray>

namespace kalvex::platform {

enum class Moving {
    NewFile,  // a file this program just wrote: a hard link may stand in for the rename
    Entry,    // anything else: a folder, or a user's entry on its way to the trash
};

// Moves `fromName` of the folder `fromDir` to `toName` of `toDir` unless `toName` exists
// (EEXIST then; `toName` is never replaced). The strongest way the file system has is used:
// RENAME_NOREPLACE, else for a new file a hard link, else a check that the name is still free
// followed by a plain rename. What a file system lacks is noted on the first failure, so that
// later moves there go straight to the way that works.
Result MoveNoReplace(int fromDir, const QByteArray& fromName, int toDir, const QByteArray& toName,
                     Moving what);

}  // namespace kalvex::platform
