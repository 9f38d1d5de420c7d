#pragma once

#include <QString>

namespace kalvex {

// One profile of a project: a row of the profile list, a section of the project file.
struct Profile {
    bool Checked = true;
    QString Name;
    QString DirA;  // exactly as typed or loaded, a trailing separator included
    QString DirB;
    // The name or a folder filled the project reader's buffer and may have been cut, so it
    // could name another folder: such a profile is never run.
    bool MayBeCut = false;

    friend bool operator==(const Profile&, const Profile&) = default;
};

}  // namespace kalvex
