#include "FolderLevel.h"

namespace kalvex {

using platform::DirEntry;
using platform::EntryKind;

SideState SideState::Of(const platform::EntryStatus& status) {
    const bool timed = status.kind == EntryKind::File || status.kind == EntryKind::Link;
    return {status.kind, timed ? status.Packed() : platform::PackedTime{0}, status};
}

void FolderLevel::Swap() {
    for (LevelEntry& entry : entries) {
        std::swap(entry.source, entry.target);
    }
}

bool ReadLevel(const platform::Folder& source, const platform::Folder& target, FolderLevel& level,
               int& error) {
    level.entries.clear();
    level.complete = true;
    std::vector<DirEntry> sourceEntries;
    if (!source.List(sourceEntries, error)) {
        return false;
    }
    std::vector<DirEntry> targetEntries;
    int targetError = 0;
    if (!target.List(targetEntries, targetError)) {
        level.complete = false;
        level.entries.reserve(sourceEntries.size());
        for (DirEntry& entry : sourceEntries) {
            const SideState there = SideState::Of(target.Status(entry.name));
            level.entries.push_back({std::move(entry.name), SideState::Of(entry.status), there});
        }
        return true;
    }
    // Both lists are in the order of names: merge them.
    level.entries.reserve(std::max(sourceEntries.size(), targetEntries.size()));
    auto s = sourceEntries.begin();
    auto t = targetEntries.begin();
    while (s != sourceEntries.end() || t != targetEntries.end()) {
        const int order = s == sourceEntries.end()   ? 1
                          : t == targetEntries.end() ? -1
                                                     : platform::CompareNames(s->name, t->name);
        if (order < 0) {
            level.entries.push_back({std::move(s->name), SideState::Of(s->status), {}});
            ++s;
        } else if (order > 0) {
            level.entries.push_back({std::move(t->name), {}, SideState::Of(t->status)});
            ++t;
        } else {
            level.entries.push_back(
                {std::move(s->name), SideState::Of(s->status), SideState::Of(t->status)});
            ++s;
            ++t;
        }
    }
    return true;
}

}  // namespace kalvex
