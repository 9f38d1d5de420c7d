#include "FileOps.h"

#include "CopyAttributes.h"
#include "FileData.h"
#include "FileIo.h"
#include "FileSystemAbilities.h"
#include "MoveNoReplace.h"
#include "TempName.h"
#include "Trash.h"
#include "WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

// Copies never carry set-user-ID, set-group-ID or sticky bits.
constexpr unsigned kCopiedPermissions = 0777;

bool SameVersion(const struct stat& before, const struct stat& after) {
    return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
           before.st_mtim.tv_nsec == after.st_mtim.tv_nsec && before.st_ino == after.st_ino;
}

// Writes a regular file's content, times and attributes to the new name `target` (which
// must not exist) in `to`.
bool WriteFileCopy(const Folder& from, const QByteArray& name, const Folder& to,
                   const QByteArray& target, int& error) {
    // O_NONBLOCK: a name swapped for a pipe since it was listed must not hang the run.
    Descriptor in(::openat(from.Descriptor(), name.constData(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.IsOpen()) {
        return Fail(error, errno);
    }
    struct stat before;
    if (::fstat(in.Get(), &before) != 0) {
        return Fail(error, errno);
    }
    if (!S_ISREG(before.st_mode)) {
        return Fail(error, EINVAL);  // O_NONBLOCK means nothing for the regular file left
    }
    Descriptor out(::openat(to.Descriptor(), target.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.IsOpen()) {
        return Fail(error, errno);
    }
    bool ok = CopyFileData(in.Get(), out.Get(), before, error);
    struct stat after;
    if (ok && ::fstat(in.Get(), &after) != 0) {
        ok = Fail(error, errno);
    }
    if (ok && !SameVersion(before, after)) {
        ok = Fail(error, EAGAIN);
    }
    if (ok) {
        KeepAttributes(in.Get(), out.Get(), before.st_mode & kCopiedPermissions);
    }
    // The time is required: a copy without it would be copied again by the next run.
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (ok && ::futimens(out.Get(), times) != 0) {
        ok = Fail(error, errno);
    }
    if (!out.Close() && ok) {
        ok = Fail(error, errno);
    }
    if (!ok) {
        ::unlinkat(to.Descriptor(), target.constData(), 0);
    }
    return ok;
}

bool WriteLinkCopy(const Folder& from, const QByteArray& name, const EntryStatus& status,
                   const Folder& to, const QByteArray& target, int& error) {
    QByteArray content(status.size + 1, Qt::Uninitialized);
    const ssize_t length =
        ::readlinkat(from.Descriptor(), name.constData(), content.data(), content.size());
    if (length < 0) {
        return Fail(error, errno);
    }
    if (length >= content.size()) {
        return Fail(error, EAGAIN);  // the link changed since its status was read
    }
    content.truncate(length);
    if (::symlinkat(content.constData(), to.Descriptor(), target.constData()) != 0) {
        return Fail(error, errno);
    }
    KeepLinkOwner(from.Descriptor(), name, to.Descriptor(), target);
    const struct timespec times[2] = {status.modified, status.modified};
    if (::utimensat(to.Descriptor(), target.constData(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        error = errno;
        ::unlinkat(to.Descriptor(), target.constData(), 0);
        return false;
    }
    return true;
}

bool WriteEntryCopy(const Folder& from, const QByteArray& name, const EntryStatus& status,
                    const Folder& to, const QByteArray& target, int& error) {
    switch (status.kind) {
        case EntryKind::File:
            return WriteFileCopy(from, name, to, target, error);
        case EntryKind::Link:
            return WriteLinkCopy(from, name, status, to, target, error);
        default:
            return Fail(error, EINVAL);
    }
}

// Renames `temp` to `name` within `folder` unless `name` exists.
bool RenameNoReplace(const Folder& folder, const QByteArray& temp, const QByteArray& name,
                     bool isFolder, int& error) {
    return MoveNoReplace(folder.Descriptor(), temp, folder.Descriptor(), name,
                         isFolder ? Moving::Entry : Moving::NewFile, error);
}

// The status of a file or link that can be copied; false with errno in `error` otherwise.
bool CopyableSource(const Folder& from, const QByteArray& name, EntryStatus& status, int& error) {
    status = from.Status(name);
    if (status.kind == EntryKind::Unknown) {
        return Fail(error, status.error);
    }
    if (status.kind != EntryKind::File && status.kind != EntryKind::Link) {
        return Fail(error, status.kind == EntryKind::Missing ? ENOENT : EINVAL);
    }
    return true;
}

// Puts a copy of the entry `name` of `folder` into the trash under that name. A hard link
// would be cheaper, but it changes the entry's status, which the commit checks once more.
// Where no copy can be made, or no trash takes it, nothing is kept.
void KeepInTrash(const Folder& folder, const QByteArray& name, const EntryStatus& status) {
    const QByteArray kept = NewTempName();
    int error = 0;
    if (!WriteEntryCopy(folder, name, status, folder, kept, error)) {
        return;
    }
    if (!MoveToTrashAs(folder, kept, name, error)) {
        ::unlinkat(folder.Descriptor(), kept.constData(), 0);
    }
}

bool RemoveTree(const Folder& parent, const QByteArray& name);

bool RemoveContent(const Folder& folder) {
    std::vector<DirEntry> entries;
    int error = 0;
    if (!folder.List(entries, error)) {
        return false;
    }
    bool ok = true;
    for (const DirEntry& entry : entries) {
        if (entry.status.kind == EntryKind::Folder) {
            ok = RemoveTree(folder, entry.name) && ok;
        } else {
            ok = ::unlinkat(folder.Descriptor(), entry.name.constData(), 0) == 0 && ok;
        }
    }
    return ok;
}

// Removes a temporary folder tree that this program built itself.
bool RemoveTree(const Folder& parent, const QByteArray& name) {
    const Folder folder = parent.OpenChild(name);
    if (folder.IsOpen()) {
        RemoveContent(folder);
    }
    return ::unlinkat(parent.Descriptor(), name.constData(), AT_REMOVEDIR) == 0;
}

// One folder of a tree being copied, shared by the tasks that fill it. Its times and
// permission bits are set when the last of them is done, as writing its entries changes them.
struct LevelCopy {
    LevelCopy(Folder from, Folder to, const std::timespec& time, unsigned mode)
        : source(std::move(from)), target(std::move(to)), modified(time), permissions(mode) {}

    const Folder source;
    const Folder target;
    const std::timespec modified;
    const unsigned permissions;
    std::atomic<std::size_t> unfinished = 1;  // the task that lists the folder, and its parts
};

// Copies a tree into a folder that is not visible under its real name yet, so its entries are
// written in any order, several at a time: each folder is a task, and so is each run of files
// in a large one. Errors are kept, the first one counts.
class TreeCopy {
public:
    TreeCopy(const CopyFilter& filter, const StopRequest& stopRequested, WorkerPool& pool)
        : m_filter(filter), m_stopRequested(stopRequested), m_pool(pool) {}

    void CopyLevel(const std::shared_ptr<LevelCopy>& level);
    int Error() const { return m_error.load(); }
    // True once a stop was requested; asked before each file, and from then on no file is
    // copied.
    bool Stopped();
    // True when the stop left something out.
    bool LeftOut() const { return m_stopped.load(std::memory_order_relaxed); }

private:
    // Enough files for a task to be worth handing over.
    static constexpr std::size_t kFilesPerTask = 32;

    void CopySubFolder(const LevelCopy& level, const DirEntry& entry);
    void CopyFiles(const LevelCopy& level, const std::vector<DirEntry>& files, std::size_t begin,
                   std::size_t end);
    void PartDone(LevelCopy& level);
    void Note(int error);

    const CopyFilter& m_filter;
    const StopRequest& m_stopRequested;
    WorkerPool& m_pool;
    std::atomic<int> m_error = 0;
    std::atomic<bool> m_stopped = false;
};

bool TreeCopy::Stopped() {
    if (!m_stopped.load(std::memory_order_relaxed) && m_stopRequested()) {
        m_stopped = true;
    }
    return m_stopped.load(std::memory_order_relaxed);
}

void TreeCopy::Note(int error) {
    // A file being written to is left out for the next run, which copies it whole.
    if (error != 0 && error != EAGAIN) {
        int none = 0;
        m_error.compare_exchange_strong(none, error);
    }
}

void TreeCopy::CopyLevel(const std::shared_ptr<LevelCopy>& level) {
    std::vector<DirEntry> entries;
    int error = 0;
    if (LeftOut()) {
        PartDone(*level);
        return;
    }
    if (!level->source.List(entries, error)) {
        Note(error);
        PartDone(*level);
        return;
    }
    auto files = std::make_shared<std::vector<DirEntry>>();
    for (DirEntry& entry : entries) {
        if (LeftOut()) {
            break;
        }
        if (!m_filter(entry.name, entry.status)) {
            continue;
        }
        switch (entry.status.kind) {
            case EntryKind::File:
            case EntryKind::Link:
                files->push_back(std::move(entry));
                break;
            case EntryKind::Folder:
                CopySubFolder(*level, entry);
                break;
            case EntryKind::Special:
                break;
            default:  // missing since it was listed, or unreadable
                Note(entry.status.error != 0 ? entry.status.error : ENOENT);
                break;
        }
    }
    const std::size_t count = files->size();
    const std::size_t lastBegin = count == 0 ? 0 : (count - 1) / kFilesPerTask * kFilesPerTask;
    for (std::size_t begin = 0; begin < lastBegin; begin += kFilesPerTask) {
        ++level->unfinished;
        const WorkerPool::Task part = [this, level, files, begin] {
            CopyFiles(*level, *files, begin, begin + kFilesPerTask);
            PartDone(*level);
        };
        if (!m_pool.TryAdd(part)) {
            part();
        }
    }
    CopyFiles(*level, *files, lastBegin, count);
    PartDone(*level);
}

void TreeCopy::CopySubFolder(const LevelCopy& level, const DirEntry& entry) {
    Folder source = level.source.OpenChild(entry.name);
    if (!source.IsOpen()) {
        Note(source.Error());
        return;
    }
    if (::mkdirat(level.target.Descriptor(), entry.name.constData(), 0700) != 0) {
        Note(errno);
        return;
    }
    Folder target = level.target.OpenChild(entry.name);
    if (!target.IsOpen()) {
        Note(target.Error());
        return;
    }
    const auto child = std::make_shared<LevelCopy>(std::move(source), std::move(target),
                                                   entry.status.modified, entry.status.permissions);
    const WorkerPool::Task task = [this, child] { CopyLevel(child); };
    if (!m_pool.TryAdd(task)) {
        task();
    }
}

void TreeCopy::CopyFiles(const LevelCopy& level, const std::vector<DirEntry>& files,
                         std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end && !Stopped(); ++i) {
        int error = 0;
        WriteEntryCopy(level.source, files[i].name, files[i].status, level.target, files[i].name,
                       error);
        Note(error);
    }
}

void TreeCopy::PartDone(LevelCopy& level) {
    if (--level.unfinished != 0) {
        return;
    }
    KeepAttributes(level.source.Descriptor(), level.target.Descriptor(),
                   level.permissions & kCopiedPermissions);
    const struct timespec times[2] = {level.modified, level.modified};
    if (::futimens(level.target.Descriptor(), times) != 0) {
        Note(errno);
    }
}

}  // namespace

bool CopyEntry(const Folder& from, const QByteArray& name, const Folder& to, int& error) {
    EntryStatus status;
    if (!CopyableSource(from, name, status, error)) {
        return false;
    }
    const QByteArray temp = NewTempName();
    if (!WriteEntryCopy(from, name, status, to, temp, error)) {
        return false;
    }
    if (!RenameNoReplace(to, temp, name, false, error)) {
        ::unlinkat(to.Descriptor(), temp.constData(), 0);
        return false;
    }
    return true;
}

bool ReplaceEntry(const Folder& from, const QByteArray& fromName, const Folder& to,
                  const QByteArray& name, Version listed, int& error) {
    EntryStatus status;
    if (!CopyableSource(from, fromName, status, error)) {
        return false;
    }
    const EntryStatus existing = to.Status(name);
    if (Version::Of(existing) != listed) {
        return Fail(error, EAGAIN);
    }
    // A file without any write permission is read-only, for root too.
    if (existing.kind == EntryKind::File && (existing.permissions & 0222) == 0) {
        return Fail(error, EACCES);
    }
    if (existing.kind == EntryKind::Folder) {
        return Fail(error, EISDIR);
    }
    const QByteArray temp = NewTempName();
    if (!WriteEntryCopy(from, fromName, status, to, temp, error)) {
        return false;
    }
    // Checked again once the copy is written, right before the commit: the target may have
    // been saved while the copy was written.
    if (Version::Of(to.Status(name)) != listed) {
        ::unlinkat(to.Descriptor(), temp.constData(), 0);
        return Fail(error, EAGAIN);
    }
    const int fd = to.Descriptor();
    if (!Lacks(KnownLacks(fd), Ability::ExchangeRename)) {
        if (RenameAt2(fd, temp.constData(), fd, name.constData(), RENAME_EXCHANGE) == 0) {
            // The old version now stands under the temporary name.
            int trashError = 0;
            if (!MoveToTrashAs(to, temp, name, trashError)) {
                ::unlinkat(fd, temp.constData(), 0);
            }
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            error = errno;
            ::unlinkat(fd, temp.constData(), 0);
            return false;
        }
        NoteLack(fd, Ability::ExchangeRename);
    }
    // No exchange here: the trash takes a copy of the old version before the new one
    // replaces it, so the name never goes missing and both versions exist at every moment.
    KeepInTrash(to, name, existing);
    if (Version::Of(to.Status(name)) != listed) {
        ::unlinkat(fd, temp.constData(), 0);
        return Fail(error, EAGAIN);
    }
    if (::renameat(fd, temp.constData(), fd, name.constData()) != 0) {
        error = errno;
        ::unlinkat(fd, temp.constData(), 0);
        return false;
    }
    return true;
}

bool CopyFolder(const Folder& from, const QByteArray& name, const Folder& to,
                const CopyFilter& filter, const StopRequest& stopRequested, int& error) {
    Folder source = from.OpenChild(name);
    if (!source.IsOpen()) {
        return Fail(error, source.Error());
    }
    struct stat st;
    if (::fstat(source.Descriptor(), &st) != 0) {
        return Fail(error, errno);
    }
    const QByteArray temp = NewTempName();
    if (::mkdirat(to.Descriptor(), temp.constData(), 0700) != 0) {
        return Fail(error, errno);
    }
    Folder target = to.OpenChild(temp);
    if (!target.IsOpen()) {
        error = target.Error();
        ::unlinkat(to.Descriptor(), temp.constData(), AT_REMOVEDIR);
        return false;
    }
    WorkerPool pool(WorkerPool::DefaultHelpers());
    TreeCopy copy(filter, stopRequested, pool);
    const auto root =
        std::make_shared<LevelCopy>(std::move(source), std::move(target), st.st_mtim, st.st_mode);
    pool.Run([&copy, &root] { copy.CopyLevel(root); });
    if (copy.LeftOut()) {
        // Still the program's own, under its temporary name: nothing of it is kept.
        RemoveTree(to, temp);
        return Fail(error, ECANCELED);
    }
    int renameError = 0;
    if (!RenameNoReplace(to, temp, name, true, renameError)) {
        RemoveTree(to, temp);
        error = renameError;
        return false;
    }
    return copy.Error() == 0 || Fail(error, copy.Error());
}

}  // namespace kalvex::platform
