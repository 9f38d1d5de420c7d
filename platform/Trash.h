#pragma once

#include "Folder.h"

#include <QByteArray>

namespace kalvex::platform {

// Moves the entry `name` of `parent` (a file, a link or a whole folder) into the user's trash
// as the freedesktop.org trash standard lays it out: the home trash when the entry is
// on the same file system, otherwise the trash at the top of the entry's own file system.
// Nothing is ever deleted for good: when no trash can take the entry, it stays where it is
// and the call returns false with errno in `error`.
bool MoveToTrash(const Folder& parent, const QByteArray& name, int& error);

// The same for an entry that stands under a temporary name in place of `originalName` of the
// same folder: the trash records it, and would restore it, under its original name.
bool MoveToTrashAs(const Folder& parent, const QByteArray& name, const QByteArray& originalName,
                   int& error);

}  // namespace kalvex::platform
