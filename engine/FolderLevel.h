#pragma once

#include "LetterCase.h"

#include "platform/FileTime.h"
#include "platform/Folder.h"
#include "platform/HelperThread.h"

#include <QByteArray>

#include <cstdint>
#include <optional>
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
};

// A level as the first pass left it, kept until the second pass comes to it: 16 bytes an
// entry and one buffer of names, as a large tree holds a million of them. Kept are both
// sides' kinds and times, and the versions of side B, the second pass's source, which its
// actions check, for the names that A does not hold. After a first pass without a failure,
// every name that both sides hold is in step, so the second pass acts only on names that one
// side holds: it copies B's to A, where A's version is not needed, or it trashes them.
class KeptLevel {
public:
    // The level as the first pass saw it (source A, target B); nothing when a name is too
    // long to be kept here, and the second pass reads the level again.
    static std::optional<KeptLevel> Keep(const FolderLevel& level);
    // The level as the second pass sees it: source B, target A.
    FolderLevel Restore() const;

private:
    struct Entry {
        std::uint32_t namesEnd;  // where the entry's names end in the buffer
        platform::PackedTime packedA;
        platform::PackedTime packedB;
        std::uint8_t nameSize;        // A's name, or the only one
        std::uint8_t targetNameSize;  // B's, where it differs in letter case; it follows
        std::uint8_t kinds;           // A's kind in the low four bits, B's in the high
        std::uint8_t flags;
    };
    static_assert(sizeof(Entry) == 16);
    static constexpr std::uint8_t kClash = 1;
    static constexpr std::uint8_t kCopiedWhole = 2;

    QByteArray m_names;
    std::vector<Entry> m_entries;
    std::vector<platform::Version> m_versionsB;  // of the entries that A lacks, in their order
};

// Reads a level: the names of `source` with their status, and what `target` holds under each
// name and under names of its own. The target side is listed on `helper` meanwhile. Fails
// when the source side cannot be listed. When the target side cannot be listed, each name is
// looked up there alone.
platform::Result ReadLevel(const platform::Folder& source, const platform::Folder& target,
                           LetterCase letterCase, platform::HelperThread& helper,
                           FolderLevel& level);

}  // namespace kalvex
