#include "FolderLevel.h"

#include <limits>

namespace kalvex {

using platform::DirEntry;
using platform::EntryKind;

SideState SideState::Of(const platform::EntryStatus& status) {
    const bool timed = status.kind == EntryKind::File || status.kind == EntryKind::Link;
    return {status.kind, timed ? status.Packed() : platform::PackedTime{0},
            platform::Version::Of(status)};
}

std::optional<KeptLevel> KeptLevel::Keep(const FolderLevel& level) {
    constexpr qsizetype kLongest = std::numeric_limits<std::uint8_t>::max();
    qsizetype namesSize = 0;
    for (const LevelEntry& entry : level.entries) {
        if (entry.name.size() > kLongest || entry.targetName.size() > kLongest) {
            return std::nullopt;
        }
        namesSize += entry.name.size() + entry.targetName.size();
    }
    // Sized once: a million levels grown piece by piece would leave the heap full of holes.
    KeptLevel kept;
    kept.m_names.reserve(namesSize);
    kept.m_entries.reserve(level.entries.size());
    for (const LevelEntry& entry : level.entries) {
        kept.m_names += entry.name;
        kept.m_names += entry.targetName;
        kept.m_entries.push_back(
            {static_cast<std::uint32_t>(kept.m_names.size()), entry.source.packed,
             entry.target.packed, static_cast<std::uint8_t>(entry.name.size()),
             static_cast<std::uint8_t>(entry.targetName.size()),
             static_cast<std::uint8_t>(static_cast<unsigned>(entry.source.kind) |
                                       static_cast<unsigned>(entry.target.kind) << 4),
             static_cast<std::uint8_t>((entry.clash ? kClash : 0) |
                                       (entry.copiedWhole ? kCopiedWhole : 0))});
        if (entry.source.kind == EntryKind::Missing) {
            kept.m_versionsB.push_back(entry.target.listed);
        }
    }
    return kept;
}

FolderLevel KeptLevel::Restore() const {
    FolderLevel level;
    level.entries.reserve(m_entries.size());
    std::uint32_t begin = 0;
    auto versionB = m_versionsB.cbegin();
    for (const Entry& entry : m_entries) {
        const QByteArray nameA = m_names.sliced(begin, entry.nameSize);
        const QByteArray nameB = m_names.sliced(begin + entry.nameSize, entry.targetNameSize);
        begin = entry.namesEnd;
        const auto kindA = static_cast<platform::EntryKind>(entry.kinds & 0x0f);
        const auto kindB = static_cast<platform::EntryKind>(entry.kinds >> 4);
        LevelEntry& restored = level.entries.emplace_back();
        // B's name leads now; A's stays beside it where the two differ in letter case.
        restored.name = nameB.isEmpty() ? nameA : nameB;
        restored.targetName = nameB.isEmpty() ? QByteArray() : nameA;
        restored.source = {kindB, entry.packedB,
                           kindA == EntryKind::Missing ? *versionB++ : platform::Version()};
        restored.target = {kindA, entry.packedA, platform::Version()};
        restored.clash = (entry.flags & kClash) != 0;
        restored.copiedWhole = (entry.flags & kCopiedWhole) != 0;
    }
    return level;
}

namespace {

using Entries = std::vector<DirEntry>;
using Compare = int (*)(const QByteArray&, const QByteArray&);

// The end of the entries from `begin` on whose names are one name: with exact names just
// the first, as no folder holds one name twice.
Entries::iterator GroupEnd(Entries::iterator begin, Entries::iterator end, LetterCase letterCase) {
    auto last = std::next(begin);
    if (letterCase == LetterCase::Ignored) {
        while (last != end && platform::CompareNamesIgnoringCase(begin->name, last->name) == 0) {
            ++last;
        }
    }
    return last;
}

}  // namespace

platform::Result ReadLevel(const platform::Folder& source, const platform::Folder& target,
                           LetterCase letterCase, platform::HelperThread& helper,
                           FolderLevel& level) {
    level.entries.clear();
    level.complete = true;
    // Both sides at the same time: reading a folder is mostly waiting for the kernel.
    Entries targetEntries;
    bool targetListed = false;
    // Why the target side cannot be listed does not matter: its names are looked up then.
    helper.Start([&] { targetListed = static_cast<bool>(target.List(targetEntries)); });
    Entries sourceEntries;
    const platform::Result sourceListed = source.List(sourceEntries);
    helper.Wait();
    if (!sourceListed) {
        return sourceListed;
    }
    if (!targetListed) {
        level.complete = false;
        level.entries.reserve(sourceEntries.size());
        for (DirEntry& entry : sourceEntries) {
            const SideState there = SideState::Of(target.Status(entry.name));
            level.entries.push_back(
                {std::move(entry.name), {}, SideState::Of(entry.status), there});
        }
        return platform::Result::Ok();
    }
    // Both lists are in the order of names, in which names that are one name stand together:
    // merge them, a group of such names at a time.
    const Compare compare = letterCase == LetterCase::Ignored ? &platform::CompareNamesIgnoringCase
                                                              : &platform::CompareNames;
    level.entries.reserve(std::max(sourceEntries.size(), targetEntries.size()));
    auto s = sourceEntries.begin();
    auto t = targetEntries.begin();
    while (s != sourceEntries.end() || t != targetEntries.end()) {
        const int order = s == sourceEntries.end()   ? 1
                          : t == targetEntries.end() ? -1
                                                     : compare(s->name, t->name);
        const auto sEnd = order <= 0 ? GroupEnd(s, sourceEntries.end(), letterCase) : s;
        const auto tEnd = order >= 0 ? GroupEnd(t, targetEntries.end(), letterCase) : t;
        if (sEnd - s > 1 || tEnd - t > 1) {
            for (; s != sEnd; ++s) {
                level.entries.push_back(
                    {std::move(s->name), {}, SideState::Of(s->status), {}, true});
            }
            for (; t != tEnd; ++t) {
                level.entries.push_back(
                    {std::move(t->name), {}, {}, SideState::Of(t->status), true});
            }
        } else if (s == sEnd) {
            level.entries.push_back({std::move(t->name), {}, {}, SideState::Of(t->status)});
            ++t;
        } else if (t == tEnd) {
            level.entries.push_back({std::move(s->name), {}, SideState::Of(s->status), {}});
            ++s;
        } else {
            QByteArray targetName = s->name == t->name ? QByteArray() : std::move(t->name);
            level.entries.push_back({std::move(s->name), std::move(targetName),
                                     SideState::Of(s->status), SideState::Of(t->status)});
            ++s;
            ++t;
        }
    }
    return platform::Result::Ok();
}

}  // namespace kalvex
