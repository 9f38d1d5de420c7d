#pragma once

#include <cstddef>

#include <sys/types.h>

namespace kalvex::platform {

// What some file systems cannot do. FUSE file systems (an exFAT stick, sshfs) and NFS have no
// RENAME_NOREPLACE; exFAT and FAT have no hard links. A call that failed for lack of one is
// noted per file system (per device), so that a folder copy of thousands of files pays the
// failed call once instead of once per file. Safe to use from several threads.
enum class Ability : unsigned {
    ExclusiveRename = 1,  // renameat2 with RENAME_NOREPLACE
    HardLinks = 2,        // linkat
    ExchangeRename = 4,   // renameat2 with RENAME_EXCHANGE
};

// What the file system that holds the open folder `folder` is known to lack, as a set of
// Ability bits, in one look-up. Costs nothing while no file system is known to lack anything.
unsigned KnownLacks(int folder);
inline bool Lacks(unsigned known, Ability ability) {
    return (known & static_cast<unsigned>(ability)) != 0;
}
void NoteLack(int folder, Ability ability);

// The calls whose support differs between file systems. Each is the system call of the same
// name (errno set on failure), unless a test simulates a file system that lacks it.
int RenameAt2(int fromDir, const char* from, int toDir, const char* to, unsigned flags);
int LinkAt(int fromDir, const char* from, int toDir, const char* to);
int ChangeMode(int fd, mode_t mode);                                                // fchmod
int ChangeOwner(int dirFd, const char* name, uid_t owner, gid_t group, int flags);  // fchownat
int SetAttribute(int fd, const char* name, const void* value, std::size_t size);    // fsetxattr

// For tests: while a limit is set, the calls above fail as they do on such file systems, on
// every file system. Setting limits also forgets what was noted about file systems.
struct SimulatedLimits {
    bool noExclusiveRename = false;  // renameat2 with flags: EINVAL (FUSE, NFS)
    bool noHardLinks = false;        // linkat: EPERM (exFAT, FAT)
    bool noPermissionBits = false;   // fchmod: EPERM (FAT refuses bits it cannot store)
    bool noOwners = false;           // fchownat: EPERM (exFAT, FAT, most shares)
    bool noUserAttributes = false;   // fsetxattr: EOPNOTSUPP (exFAT, FAT)
};
void SimulateLimits(const SimulatedLimits& limits);
// How many calls failed because of a simulated limit since the limits were last set.
int SimulatedFailures();

}  // namespace kalvex::platform
