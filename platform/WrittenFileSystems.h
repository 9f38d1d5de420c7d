#pragma once

#include "FileIo.h"
#include "Folder.h"

#include <vector>

#include <sys/types.h>

namespace kalvex::platform {

// The file systems that a run wrote to, each held by an open folder of it, so that all of
// them can be flushed to the disk before a log says what they hold.
class WrittenFileSystems {
public:
    // Notes the file system of `folder`, into which an action just wrote.
    void Note(const Folder& folder);
    // Flushes every file system noted (syncfs) and forgets them; fails when one of them
    // reported a write error (the last such errno).
    Result Flush();

private:
    struct Noted {
        dev_t device;
        Descriptor folder;
    };
    std::vector<Noted> m_noted;
};

}  // namespace kalvex::platform
