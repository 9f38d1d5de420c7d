#include "FileSystemAbilities.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

unsigned Bit(Ability ability) {
    return static_cast<unsigned>(ability);
}

// The abilities that some file system is known to lack, so that the common case (none) needs
// neither the folder's status nor the lock.
std::atomic<unsigned> g_anyLack = 0;
std::mutex g_lock;
std::vector<std::pair<dev_t, unsigned>> g_lacks;  // few entries: one per file system

enum SimulatedBit : unsigned {
    kNoExclusiveRename = 1,
    kNoHardLinks = 2,
    kNoPermissionBits = 4,
    kNoOwners = 8,
    kNoUserAttributes = 16,
};
std::atomic<unsigned> g_simulated = 0;
std::atomic<int> g_simulatedFailures = 0;

// True (with errno set to `error`) when a test simulates the lack of `limit`.
bool Simulated(SimulatedBit limit, int error) {
    if ((g_simulated.load(std::memory_order_relaxed) & limit) == 0) {
        return false;
    }
    ++g_simulatedFailures;
    errno = error;
    return true;
}

}  // namespace

unsigned KnownLacks(int folder) {
    if (g_anyLack.load(std::memory_order_acquire) == 0) {
        return 0;
    }
    struct stat st;
    if (::fstat(folder, &st) != 0) {
        return 0;
    }
    const std::lock_guard<std::mutex> guard(g_lock);
    for (const auto& [device, lacks] : g_lacks) {
        if (device == st.st_dev) {
            return lacks;
        }
    }
    return 0;
}

void NoteLack(int folder, Ability ability) {
    struct stat st;
    if (::fstat(folder, &st) != 0) {
        return;
    }
    const std::lock_guard<std::mutex> guard(g_lock);
    auto known = std::find_if(g_lacks.begin(), g_lacks.end(),
                              [&st](const auto& entry) { return entry.first == st.st_dev; });
    if (known == g_lacks.end()) {
        known = g_lacks.emplace(g_lacks.end(), st.st_dev, 0u);
    }
    known->second |= Bit(ability);
    g_anyLack.fetch_or(Bit(ability), std::memory_order_release);
}

int RenameAt2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    if (flags != 0 && Simulated(kNoExclusiveRename, EINVAL)) {
        return -1;
    }
    return ::renameat2(fromDir, from, toDir, to, flags);
}

int LinkAt(int fromDir, const char* from, int toDir, const char* to) {
    if (Simulated(kNoHardLinks, EPERM)) {
        return -1;
    }
    return ::linkat(fromDir, from, toDir, to, 0);
}

int ChangeMode(int fd, mode_t mode) {
    if (Simulated(kNoPermissionBits, EPERM)) {
        return -1;
    }
    return ::fchmod(fd, mode);
}

int ChangeOwner(int dirFd, const char* name, uid_t owner, gid_t group, int flags) {
    if (Simulated(kNoOwners, EPERM)) {
        return -1;
    }
    return ::fchownat(dirFd, name, owner, group, flags);
}

int SetAttribute(int fd, const char* name, const void* value, std::size_t size) {
    if (Simulated(kNoUserAttributes, EOPNOTSUPP)) {
        return -1;
    }
    return ::fsetxattr(fd, name, value, size, 0);
}

void SimulateLimits(const SimulatedLimits& limits) {
    const unsigned bits = (limits.noExclusiveRename ? kNoExclusiveRename : 0u) |
                          (limits.noHardLinks ? kNoHardLinks : 0u) |
                          (limits.noPermissionBits ? kNoPermissionBits : 0u) |
                          (limits.noOwners ? kNoOwners : 0u) |
                          (limits.noUserAttributes ? kNoUserAttributes : 0u);
    const std::lock_guard<std::mutex> guard(g_lock);
    g_lacks.clear();
    g_anyLack = 0;
    g_simulated = bits;
    g_simulatedFailures = 0;
}

int SimulatedFailures() {
    return g_simulatedFailures.load();
}

}  // namespace kalvex::platform
