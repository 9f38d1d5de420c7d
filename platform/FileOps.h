#pragma once

#include "Folder.h"

#include <QByteArray>

#include <functional>

namespace kalvex::platform {

enum class CopyMode {
    FailIfExists,  // the copy fails when the target name exists
    Overwrite,     // the copy replaces the target; it fails when the target is read-only
};

// Copies the regular file or link `name` of `from` into `to` under the same name, with its
// time, holes and attributes (see KeepAttributes; a link as a link). The copy is written under a
// temporary name and renamed into place, so the target holds either its old or its new
// content at every moment. A file that changes while it is copied is not committed (EAGAIN).
// Returns false with errno in `error`; nothing is left behind then.
bool CopyEntry(const Folder& from, const QByteArray& name, const Folder& to, CopyMode mode,
               int& error);

// Tells a folder copy which entries to take; entries left out are not an error.
using CopyFilter = std::function<bool(const QByteArray& name, const EntryStatus& status)>;

// Copies the folder `name` of `from` with its whole content into `to` under the same name,
// keeping times, holes and attributes (KeepAttributes). The copy is made under a temporary name and
// renamed into place at the end, so the folder appears whole or not at all; it fails when the
// name exists by then. Entries the filter refuses, devices, pipes, sockets, and files that
// change while they are copied are left out. Returns false with errno in `error` when the
// folder could not be made or something in it could not be copied; the part that could be
// copied is kept.
bool CopyFolder(const Folder& from, const QByteArray& name, const Folder& to,
                const CopyFilter& filter, int& error);

}  // namespace kalvex::platform
