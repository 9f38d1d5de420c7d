#pragma once

#include "FileIo.h"
#include "Folder.h"

#include <QByteArray>

#include <functional>

namespace kalvex::platform {

// Copies the regular file or link `name` of `from` into `to` under the same name, with its
// time, holes and attributes (see KeepAttributes; a link as a link). The copy is written under a
// temporary name and renamed into place, so the target holds either its old or its new
// content at every moment. A file that changes while it is copied is not committed (EAGAIN).
// On a failure nothing is left behind.

// For a name that `to` does not hold: fails (EEXIST) when it exists by the time of the commit.
Result CopyEntry(const Folder& from, const QByteArray& name, const Folder& to);

// For the entry `name` that `to` holds as `listed` says, which takes the content of
// `fromName` (the same name, or one that differs in letter case): the version replaced goes
// to the trash, and the name stands at every moment, under the old version or the new one.
// Fails, and leaves both alone, when that entry is no longer the version listed (EAGAIN), is
// a folder (EISDIR) or a file without any write permission (EACCES, read-only for root too).
// Where no trash can take the old version, it is replaced all the same.
Result ReplaceEntry(const Folder& from, const QByteArray& fromName, const Folder& to,
                    const QByteArray& name, Version listed);

// Tells a folder copy which entries to take; entries left out are not an error.
using CopyFilter = std::function<bool(const QByteArray& name, const EntryStatus& status)>;

// Copies the folder `name` of `from` with its whole content into `to` under the same name,
// keeping times, holes and attributes (KeepAttributes). The copy is made under a temporary name and
// renamed into place at the end, so the folder appears whole or not at all; it fails when the
// name exists by then. Entries the filter refuses, devices, pipes, sockets, and files that
// change while they are copied are left out. Fails when the
// folder could not be made or something in it could not be copied; the part that could be
// copied is kept. When `stopRequested` turns true, no further entry is copied, the part
// built so far is removed, and the call fails with ECANCELED.
using StopRequest = std::function<bool()>;
Result CopyFolder(const Folder& from, const QByteArray& name, const Folder& to,
                  const CopyFilter& filter, const StopRequest& stopRequested);

}  // namespace kalvex::platform
