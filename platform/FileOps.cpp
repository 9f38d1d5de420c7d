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
Result WriteFileCopy(const Folder& from, const QByteArray& name, const Folder& to,
                     const QByteArray& target) {
    // O_NONBLOCK: a name swapped for a pipe since it was listed must not hang the run.
    Descriptor in(::openat(from.Descriptor(), name.constData(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.IsOpen()) {
        return Result::FromErrno();
    }
    struct stat before;
    if (::fstat(in.Get(), &before) != 0) {
        return Result::FromErrno();
    }
    if (!S_ISREG(before.st_mode)) {
        return Result::Failure(EINVAL);  // O_NONBLOCK means nothing for the regular file left
    }
    Descriptor out(::openat(to.Descriptor(), target.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.IsOpen()) {
        return Result::FromErrno();
    }
    Result result = CopyFileData(in.Get(), out.Get(), before);
    struct stat after;
    if (result && ::fstat(in.Get(), &after) != 0) {
        result = Result::FromErrno();
    }
    if (result && !SameVersion(before, after)) {
        result = Result::Failure(EAGAIN);
    }
    if (result) {
        KeepAttributes(in.Get(), out.Get(), before.st_mode & kCopiedPermissions);
    }
    // The time is required: a copy without it would be copied again by the next run.
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (result && ::futimens(out.Get(), times) != 0) {
        result = Result::FromErrno();
    }
    if (!out.Close() && result) {
        result = Result::FromErrno();
    }
    if (!result) {
        ::unlinkat(to.Descriptor(), target.constData(), 0);
    }
    return result;
}

Result WriteLinkCopy(const Folder& from, const QByteArray& name, const EntryStatus& status,
                     const Folder& to, const QByteArray& target) {
    QByteArray content(status.size + 1, Qt::Uninitialized);
    const ssize_t length =
        ::readlinkat(from.Descriptor(), name.constData(), content.data(), content.size());
    if (length < 0) {
        return Result::FromErrno();
    }
    if (length >= content.size()) {
        return Result::Failure(EAGAIN);  // the link changed since its status was read
    }
    content.truncate(length);
    if (::symlinkat(content.constData(), to.Descriptor(), target.constData()) != 0) {
        return Result::FromErrno();
    }
    KeepLinkOwner(from.Descriptor(), name, to.Descriptor(), target);
    const struct timespec times[2] = {status.modified, status.modified};
    if (::utimensat(to.Descriptor(), target.constData(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        const Result failed = Result::FromErrno();
        ::unlinkat(to.Descriptor(), target.constData(), 0);
        return failed;
    }
    return Result::Ok();
}

Result WriteEntryCopy(const Folder& from, const QByteArray& name, const EntryStatus& status,
                      const Folder& to, const QByteArray& target) {
    switch (status.kind) {
        case EntryKind::File:
            return WriteFileCopy(from, name, to, target);
        case EntryKind::Link:
            return WriteLinkCopy(from, name, status, to, target);
        default:
            return Result::Failure(EINVAL);
    }
}

// Renames `temp` to `name` within `folder` unless `name` exists.
Result RenameNoReplace(const Folder& folder, const QByteArray& temp, const QByteArray& name,
                       Moving what) {
    return MoveNoReplace(folder.Descriptor(), temp, folder.Descriptor(), name, what);
}

// The status of a file or link that can be copied; a failure otherwise.
Result CopyableSource(const Folder& from, const QByteArray& name, EntryStatus& status) {
    status = from.Status(name);
    if (status.kind == EntryKind::Unknown) {
        return Result::Failure(status.error);
    }
    if (status.kind != EntryKind::File && status.kind != EntryKind::Link) {
        return Result::Failure(status.kind == EntryKind::Missing ? ENOENT : EINVAL);
    }
    return Result::Ok();
}

// Puts a copy of the entry `name` of `folder` into the trash under that name. A hard link
// would be cheaper, but it changes the entry's status, which the commit checks once more.
// Where no copy can be made, or no trash takes it, nothing is kept.
void KeepInTrash(const Folder& folder, const QByteArray& name, const EntryStatus& status) {
    const QByteArray kept = NewTempName();
    if (!WriteEntryCopy(folder, name, status, folder, kept)) {
        return;
    }
    if (!MoveToTrashAs(folder, kept, name)) {
        ::unlinkat(folder.Descriptor(), kept.constData(), 0);
    }
}

bool RemoveTree(const Folder& parent, const QByteArray& name);

bool RemoveContent(const Folder& folder) {
    std::vector<DirEntry> entries;
    if (!folder.List(entries)) {
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
    if (LeftOut()) {
        PartDone(*level);
        return;
    }
    if (const Result listed = level->source.List(entries); !listed) {
        Note(listed.Error());
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
        Note(WriteEntryCopy(level.source, files[i].name, files[i].status, level.target,
                            files[i].name)
                 .Error());
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

Result CopyEntry(const Folder& from, const QByteArray& name, const Folder& to) {
    EntryStatus status;
    if (const Result copyable = CopyableSource(from, name, status); !copyable) {
        return copyable;
    }
    const QByteArray temp = NewTempName();
    if (const Result written = WriteEntryCopy(from, name, status, to, temp); !written) {
        return written;
    }
    const Result renamed = RenameNoReplace(to, temp, name, Moving::NewFile);
    if (!renamed) {
        ::unlinkat(to.Descriptor(), temp.constData(), 0);
    }
    return renamed;
}

Result ReplaceEntry(const Folder& from, const QByteArray& fromName, const Folder& to,
                    const QByteArray& name, Version listed) {
    EntryStatus status;
    if (const Result copyable = CopyableSource(from, fromName, status); !copyable) {
        return copyable;
    }
    const EntryStatus existing = to.Status(name);
    if (Version::Of(existing) != listed) {
        return Result::Failure(EAGAIN);
    }
    // A file without any write permission is read-only, for root too.
    if (existing.kind == EntryKind::File && (existing.permissions & 0222) == 0) {
        return Result::Failure(EACCES);
    }
    if (existing.kind == EntryKind::Folder) {
        return Result::Failure(EISDIR);
    }
    const QByteArray temp = NewTempName();
    if (const Result written = WriteEntryCopy(from, fromName, status, to, temp); !written) {
        return written;
    }
    // Checked again once the copy is written, right before the commit: the target may have
    // been saved while the copy was written.
    if (Version::Of(to.Status(name)) != listed) {
        ::unlinkat(to.Descriptor(), temp.constData(), 0);
        return Result::Failure(EAGAIN);
    }
    const int fd = to.Descriptor();
    if (!Lacks(KnownLacks(fd), Ability::ExchangeRename)) {
        if (RenameAt2(fd, temp.constData(), fd, name.constData(), RENAME_EXCHANGE) == 0) {
            // The old version now stands under the temporary name.
            if (!MoveToTrashAs(to, temp, name)) {
                ::unlinkat(fd, temp.constData(), 0);
            }
            return Result::Ok();
        }
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            const Result failed = Result::FromErrno();
            ::unlinkat(fd, temp.constData(), 0);
            return failed;
        }
        NoteLack(fd, Ability::ExchangeRename);
    }
    // No exchange here: the trash takes a copy of the old version before the new one
    // replaces it, so the name never goes missing and both versions exist at every moment.
    KeepInTrash(to, name, existing);
    if (Version::Of(to.Status(name)) != listed) {
        ::unlinkat(fd, temp.constData(), 0);
        return Result::Failure(EAGAIN);
    }
    if (::renameat(fd, temp.constData(), fd, name.constData()) != 0) {
        const Result failed = Result::FromErrno();
        ::unlinkat(fd, temp.constData(), 0);
        return failed;
    }
    return Result::Ok();
}

Result CopyFolder(const Folder& from, const QByteArray& name, const Folder& to,
                  const CopyFilter& filter, const StopRequest& stopRequested) {
    Folder source = from.OpenChild(name);
    if (!source.IsOpen()) {
        return Result::Failure(source.Error());
    }
    struct stat st;
    if (::fstat(source.Descriptor(), &st) != 0) {
        return Result::FromErrno();
    }
    const QByteArray temp = NewTempName();
    if (::mkdirat(to.Descriptor(), temp.constData(), 0700) != 0) {
        return Result::FromErrno();
    }
    Folder target = to.OpenChild(temp);
    if (!target.IsOpen()) {
        ::unlinkat(to.Descriptor(), temp.constData(), AT_REMOVEDIR);
        return Result::Failure(target.Error());
    }
    WorkerPool pool(WorkerPool::DefaultHelpers());
    TreeCopy copy(filter, stopRequested, pool);
    const auto root =
        std::make_shared<LevelCopy>(std::move(source), std::move(target), st.st_mtim, st.st_mode);
    pool.Run([&copy, &root] { copy.CopyLevel(root); });
    if (copy.LeftOut()) {
        // Still the program's own, under its temporary name: nothing of it is kept.
        RemoveTree(to, temp);
        return Result::Failure(ECANCELED);
    }
    if (const Result renamed = RenameNoReplace(to, temp, name, Moving::Entry); !renamed) {
        RemoveTree(to, temp);
        return renamed;
    }
    return copy.Error() == 0 ? Result::Ok() : Result::Failure(copy.Error());
}

}  // namespace kalvex::platform
