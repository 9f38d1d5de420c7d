#pragma once

#include "FileIo.h"
#include "Folder.h"

#include <QByteArray>

namespace kalvex::platform {

// Moves the entry `name` of `parent` (a file, a link or a whole folder) into the user's trash
// as the freedesktop.org trash standard lays it out: the home trash when the entry is
// on the same file system, otherwise the trash at the top of the entry's own file system.
// A trash at the top of a file system is taken only when it is the user's own (a link, or a
// folder another user made, is never used). A name too long for its info file's name is
// shortened there; the info file keeps the original path.
// Nothing is ever deleted for good: when no trash can take the entry, it stays where it is
// and the call fails.
Result MoveToTrash(const Folder& parent, const QByteArray& name);

// The same for an entry that stands under a temporary name in place of `originalName` of the
// same folder: the trash records it, and would restore it, under its original name.
Result MoveToTrashAs(const Folder& parent, const QByteArray& name, const QByteArray& originalName);

// Moves a temporary file or folder that an interrupted write of this program left behind into
// the trash, as MoveToTrash does. It is never removed for good: a user's entry may only look
// like one. Fails (EINVAL) for a name that is not a temporary name.
Result TrashLeftover(const Folder& parent, const QByteArray& name);

}  // namespace kalvex::platform
