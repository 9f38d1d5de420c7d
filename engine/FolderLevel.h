#pragma once

#include "LetterCase.h"

#include "platform/FileTime.h"
#include "platform/Folder.h"

#include <QByteArray>

#include <vector>

namespace kalvex {

// What one side holds under a name: the kind of entry and, for a file or link, its packed
// last-write time. `listed` is the status the listing read, which an entry must still have
// when it is replaced or trashed.
struct SideState {
    platform::EntryKind kind = platform::EntryKind::Missing;
    platform::PackedTime packed = 0;
    platform::Version listed;

    static SideState Of(const platform::EntryStatus& status);
};

// One name of a folder level, with what the source and the target side of a pass hold.
struct LevelEntry {
    QByteArray name;        // the source side's name, or the target's where only it has one
    QByteArray targetName;  // the target side's name where it differs in letter case
    SideState source;
    SideState target;
    // Several names of one side that differ only in letter case, where letter case is
    // ignored: no pairing is sure, so none of them is touched.
    bool clash = false;
    bool copiedWhole = false;  // a folder that the first pass copied with all it holds

    const QByteArray& TargetName() const { return targetName.isEmpty() ? name : targetName; }
};

// A folder level of both sides: every name that either side holds, in the order of names.
// `complete` is false when only the source side's names could be read.
struct FolderLevel {
    std::vector<LevelEntry> entries;
    bool complete = true;

    // The same level seen from the other side: source and target swapped.
    void Swap();
};

// Reads a level: the names of `source` with their status, and what `target` holds under each
// name and under names of its own. False, with errno in `error`, when the source side cannot
// be listed. When the target side cannot be listed, each name is looked up there alone.
bool ReadLevel(const platform::Folder& source, const platform::Folder& target,
               LetterCase letterCase, FolderLevel& level, int& error);

}  // namespace kalvex
