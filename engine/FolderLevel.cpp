#include "FolderLevel.h"

namespace kalvex {

using platform::DirEntry;
using platform::EntryKind;

SideState SideState::Of(const platform::EntryStatus& status) {
    const bool timed = status.kind == EntryKind::File || status.kind == EntryKind::Link;
    return {status.kind, timed ? status.Packed() : platform::PackedTime{0},
            platform::Version::Of(status)};
}

void FolderLevel::Swap() {
    for (LevelEntry& entry : entries) {
        std::swap(entry.source, entry.target);
        if (!entry.targetName.isEmpty()) {
            std::swap(entry.name, entry.targetName);
        }
    }
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

bool ReadLevel(const platform::Folder& source, const platform::Folder& target,
               LetterCase letterCase, FolderLevel& level, int& error) {
    level.entries.clear();
    level.complete = true;
    Entries sourceEntries;
    if (!source.List(sourceEntries, error)) {
        return false;
    }
    Entries targetEntries;
    int targetError = 0;
    if (!target.List(targetEntries, targetError)) {
        level.complete = false;
        level.entries.reserve(sourceEntries.size());
        for (DirEntry& entry : sourceEntries) {
            const SideState there = SideState::Of(target.Status(entry.name));
            level.entries.push_back(
                {std::move(entry.name), {}, SideState::Of(entry.status), there});
        }
        return true;
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
    return true;
}

}  // namespace kalvex
