#include "Kalvex.h"

#include "platform/FileOps.h"
#include "platform/SafeWrite.h"
#include "platform/TempName.h"
#include "platform/Trash.h"

#include <QFile>
#include <QScopeGuard>

namespace kalvex {

using platform::EntryKind;
using platform::EntryStatus;
using platform::Folder;

namespace {

const QString kSame = QStringLiteral("=");
const QString kCopyAToB = QStringLiteral(">>");
const QString kCopyBToA = QStringLiteral("<<");
const QString kNewerA = QStringLiteral(">");
const QString kNewerB = QStringLiteral("<");
const QString kDeleteA = QStringLiteral("X-");
const QString kDeleteB = QStringLiteral("-X");

// Packed times within this many units (8 seconds within a minute) count as the same.
constexpr std::int64_t kTolerance = 4;

QString Display(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes);
}

// The entries that a folder copy takes: never a temporary file of a safe write, never a
// name that a log file could not list.
bool TakenByFolderCopy(const QByteArray& name, const EntryStatus&) {
    return !platform::IsTempName(name) && IsLoggableName(name);
}

}  // namespace

QString HeaderRowCaption(const QString& profileName) {
    return QStringLiteral("Synchronizing ") + profileName + u':';
}

QString ReportTime::Text(const platform::TimeTextFormat& format) const {
    switch (kind) {
        case Kind::Missing:
            return QStringLiteral("-");
        case Kind::Folder:
            return QStringLiteral("*");
        case Kind::Packed:
            break;
    }
    return format.Text(packed);
}

TKalvex::TKalvex(SyncFrontend& frontend, bool syncAllMode, RunMode mode)
    : m_frontend(frontend), m_syncAllMode(syncAllMode), m_preview(mode == RunMode::Preview) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    start(QThread::LowPriority);
}

TKalvex::~TKalvex() {
    wait();
}

void TKalvex::run() {
    const bool completed = Execute();
    m_frontend.FinishRun(completed);
}

bool TKalvex::Execute() {
    if (m_syncAllMode) {
        // The row count is read again before each row: the list may change during the run.
        for (int index = 0; index < m_frontend.ProfileCount(); ++index) {
            const std::optional<Profile> row = m_frontend.ProfileAt(index);
            if (!row || !row->Checked) {
                continue;
            }
            if (!RunProfile(*row)) {
                return false;
            }
        }
        return true;
    }
    const int selected = m_frontend.SelectedProfile();
    const std::optional<Profile> row = selected < 0 ? std::nullopt : m_frontend.ProfileAt(selected);
    return !row || RunProfile(*row);
}

bool TKalvex::RunProfile(const Profile& profile) {
    // The row as it was read once: the list may be edited while the run goes on, and a row
    // read twice could pair one row's name with another's folders.
    m_state.ProfileName = profile.Name;
    if (profile.MayBeCut) {
        ShowError(QStringLiteral("The profile \"%1\" was not run: its name or a folder in the "
                                 "project file is 2047 bytes or longer and may have been cut.")
                      .arg(profile.Name));
        return false;
    }
    EngineState& s = m_state;
    s.RootA = QFile::encodeName(profile.DirA) + '/';
    s.RootB = QFile::encodeName(profile.DirB) + '/';

    // An empty folder path would name the root of the file system: it counts as missing.
    const Folder rootA = profile.DirA.isEmpty() ? Folder() : Folder::Open(s.RootA);
    if (!rootA.IsOpen()) {
        ShowError(QStringLiteral("Couldn't find the parent folder:") + Display(s.RootA));
        return false;
    }
    const Folder rootB = profile.DirB.isEmpty() ? Folder() : Folder::Open(s.RootB);
    if (!rootB.IsOpen()) {
        ShowError(QStringLiteral("Couldn't find the parent folder:") + Display(s.RootB));
        return false;
    }

    // A root inside the other would be copied into itself, one level deeper on every run.
    if (rootA.Contains(rootB) || rootB.Contains(rootA)) {
        ShowError(QStringLiteral("Directory A and Directory B must be two separate folders, "
                                 "neither inside the other.\nDirectory A: %1\nDirectory B: %2")
                      .arg(Display(s.RootA), Display(s.RootB)));
        return false;
    }

    // One run per folder pair: a second run would copy and delete under the first. A preview
    // changes nothing, so it may look at folders that a run holds.
    const bool lockedA = m_preview || rootA.TryLock();
    if (!lockedA || (!m_preview && !rootB.TryLock())) {
        ShowError(QStringLiteral("Another run is synchronizing this folder:") +
                  Display(lockedA ? s.RootB : s.RootA));
        return false;
    }

    BeginProfile(rootA, rootB);

    s.PrevLog.Clear();
    s.NewLog.Clear();
    const auto release = qScopeGuard([&s] {
        s.PrevLog.Clear();
        s.NewLog.Clear();
    });
    // A log speaks only for the pair it was written for: one of another Directory B, or of
    // another profile over the same Directory A, says nothing of what was deleted here.
    const LogLocation log(m_frontend.ProjectFileName(), rootB.RealPath(),
                          SharesDirectoryA(profile, rootA));
    // Where either side treats names that differ only in letter case as one name, so does
    // the run, in both passes and in the log. A preview writes nothing to find out.
    const Folder::Probe probe = m_preview ? Folder::Probe::ReadOnly : Folder::Probe::MayWrite;
    m_letterCase = rootA.FoldsLetterCase(probe) || rootB.FoldsLetterCase(probe)
                       ? LetterCase::Ignored
                       : LetterCase::Exact;
    // A root at the top of a file system (a stick, a disk) holds that file system's trash,
    // which is no entry of the user's.
    m_trashAtTop = rootA.IsFileSystemTop() || rootB.IsFileSystemTop();
    QString warning;
    if (!TakePreviousLog(rootA, rootB, log, warning)) {
        return false;
    }

    m_unchangedLevels.clear();
    const auto forgetLevels = qScopeGuard([this] { m_unchangedLevels.clear(); });
    s.SourceRoot = s.RootA;
    s.TargetRoot = s.RootB;
    s.ReversePass = false;
    if (!ReconcileFolder(QByteArray(), rootA, rootB)) {
        return false;
    }
    s.TargetRoot = s.RootA;
    s.SourceRoot = s.RootB;
    s.ReversePass = true;
    if (!m_preview) {
        s.NewLog.Begin(rootA, log.name, log.partnerLine);
    }
    if (!ReconcileFolder(QByteArray(), rootB, rootA)) {
        return false;
    }
    if (m_preview) {
        if (!warning.isEmpty()) {
            m_frontend.ShowWarning(warning);
        }
        return true;
    }
    WriteNewLog(rootA, log);
    return true;
}

bool TKalvex::TakePreviousLog(const Folder& rootA, const Folder& rootB, const LogLocation& log,
                              QString& previewWarning) {
    EngineState& s = m_state;
    if (!s.PrevLog.Load(rootA, log, m_letterCase)) {
        // Without a log nothing is deleted; a preview shows just that, without asking.
        const EngineMessage question{
            QStringLiteral("Couldn't find the previous log file.\nTherefore, no files or "
                           "folders will be deleted.\n\nDo you want to continue?"),
            QStringLiteral("Confirmation"), MessageKind::Question, Answer::Yes,
            MessageTopic::MissingLog};
        return m_preview || m_frontend.ShowMessage(question) != Answer::No;
    }
    // An unplugged drive or an empty mount point looks like everything was deleted there.
    const std::optional<EmptySide> side = FindEmptySide(rootA, rootB);
    if (!side) {
        return true;
    }
    if (m_preview) {
        previewWarning = QStringLiteral(
                             "Warning: the folder %1 is empty, but the previous run left %2 "
                             "entries in it. A run would ask first; the rows show what Yes "
                             "would do: delete them from %3.")
                             .arg(side->empty)
                             .arg(s.PrevLog.Count())
                             .arg(side->other);
        return true;
    }
    const EngineMessage question{
        QStringLiteral("The folder %1 is empty, but the previous run left %2 entries in it.\n"
                       "If you go on, everything listed in the log file will be deleted from "
                       "the other folder, %3.\n\nDo you want to continue?")
            .arg(side->empty)
            .arg(s.PrevLog.Count())
            .arg(side->other),
        QStringLiteral("Confirmation"), MessageKind::Question, Answer::No, MessageTopic::EmptySide};
    return m_frontend.ShowMessage(question) == Answer::Yes;
}

bool TKalvex::SharesDirectoryA(const Profile& profile, const Folder& rootA) {
    const int count = m_frontend.ProfileCount();
    bool ownRowSeen = false;  // the running profile's own row, wherever it stands now
    for (int index = 0; index < count; ++index) {
        const std::optional<Profile> row = m_frontend.ProfileAt(index);
        if (!row || row->DirA.isEmpty()) {
            continue;
        }
        if (!ownRowSeen && *row == profile) {
            ownRowSeen = true;
            continue;
        }
        const Folder folder = Folder::Open(QFile::encodeName(row->DirA) + '/');
        if (folder.IsOpen() && folder.SameAs(rootA)) {
            return true;
        }
    }
    return false;
}

std::optional<TKalvex::EmptySide> TKalvex::FindEmptySide(const Folder& rootA,
                                                         const Folder& rootB) const {
    const EngineState& s = m_state;
    if (s.PrevLog.Count() == 0) {
        return std::nullopt;
    }
    // The log file, leftovers of safe writes and the trash of a stick are no user's entries.
    const bool trashAtTop = m_trashAtTop;
    const auto userEntry = [trashAtTop](QByteArrayView name) {
        return !IsLogFilePath(name) && !platform::IsTempName(name) &&
               !(trashAtTop && platform::IsTopTrashName(name));
    };
    const bool aHolds = rootA.AnyName(userEntry);
    const bool bHolds = rootB.AnyName(userEntry);
    if (aHolds == bHolds) {
        return std::nullopt;
    }
    return EmptySide{Display(aHolds ? s.RootB : s.RootA), Display(aHolds ? s.RootA : s.RootB)};
}

void TKalvex::WriteNewLog(const Folder& rootA, const LogLocation& log) {
    // What the log lists is on the disk before the log says so.
    if (!m_written.Flush() || !m_state.NewLog.Commit()) {
        // The old log no longer describes the folders: a later run must ask rather than
        // delete by it. A log that cannot be written is otherwise not reported.
        m_state.NewLog.Clear();
        static_cast<void>(platform::RemoveOwnFile(rootA, log.name));
    }
    // Only one log may speak for the pair: an older one under its other name would, once
    // the profiles over this Directory A change, tell of deletions long past.
    if (IsLogFor(rootA, log.otherName, log.partnerLine)) {
        // One that stays is found again, and removed, by the next run.
        static_cast<void>(platform::RemoveOwnFile(rootA, log.otherName));
    }
}

bool TKalvex::ReconcileFolder(const QByteArray& levelPrefix, const Folder& source,
                              const Folder& target) {
    EngineState& s = m_state;
    // The second pass takes a level that the first pass read from there, as the first pass's
    // actions left it, instead of reading both sides again.
    FolderLevel level;
    const auto planned =
        s.ReversePass ? m_unchangedLevels.find(levelPrefix) : m_unchangedLevels.end();
    if (planned != m_unchangedLevels.end()) {
        level = planned->second.Restore();
        m_unchangedLevels.erase(planned);
    } else if (!ReadLevel(source, target, m_letterCase, m_lister, level)) {
        // What cannot be listed is not missing: nothing below it is touched on either side.
        s.EntryName = levelPrefix.isEmpty() ? s.SourceRoot : levelPrefix.chopped(1);
        ReportFailedCopy();
        return true;
    }

    bool uncertain = false;
    for (LevelEntry& entry : level.entries) {
        if (entry.source.kind == EntryKind::Missing) {
            continue;  // the other side's own name: its pass handles it
        }
        if (platform::IsTempName(entry.name)) {
            // Left behind by a run that ended in the middle of a copy.
            if (!m_preview) {
                // Not the user's entry, so nothing to report: one that stays is taken by the
                // next run.
                static_cast<void>(platform::TrashLeftover(source, entry.name));
            }
            continue;
        }
        if (levelPrefix.isEmpty() && m_trashAtTop && platform::IsTopTrashName(entry.name)) {
            continue;
        }
        if (entry.clash) {
            s.EntryName = levelPrefix + entry.name;
            if (!IsLogFilePath(s.EntryName)) {
                ReportFailedCopy();
            }
            continue;
        }
        if (entry.source.kind == EntryKind::Folder) {
            if (!ReconcileSubFolder(levelPrefix, entry, source, target, uncertain)) {
                return false;
            }
            continue;
        }
        if (Terminated()) {
            return false;
        }
        ReconcileFile(levelPrefix, entry, source, target, uncertain);
    }
    if (!s.ReversePass && !uncertain && level.complete) {
        if (std::optional<KeptLevel> kept = KeptLevel::Keep(level)) {
            m_unchangedLevels.emplace(levelPrefix, std::move(*kept));
        }
    }
    return true;
}

bool TKalvex::ReconcileSubFolder(const QByteArray& levelPrefix, LevelEntry& entry,
                                 const Folder& source, const Folder& target, bool& uncertain) {
    EngineState& s = m_state;
    s.EntryName = levelPrefix + entry.name;
    if (!IsLoggableName(entry.name)) {
        ReportFailedCopy();
        return true;
    }
    s.SourceTime = ReportTime::Folder();
    CurrentFolder = Display(s.EntryName);
    s.TopLevel = levelPrefix.isEmpty();
    ShowFolder();

    bool remains = true;
    bool onTarget = true;
    switch (entry.target.kind) {
        case EntryKind::Folder:
            s.ActionMark = kSame;
            s.TargetTime = ReportTime::Folder();
            break;
        case EntryKind::Missing:
            s.TargetTime = ReportTime::Missing();
            if (!s.PrevLog.Contains(s.EntryName)) {
                s.ActionMark = s.ReversePass ? kCopyBToA : kCopyAToB;
                if (CopyWhole(source, entry.name, target)) {
                    entry.target = entry.source;
                    entry.copiedWhole = true;
                } else if (Terminated()) {
                    return false;
                } else {
                    ReportFailedCopy();
                    uncertain = true;
                }
                onTarget = m_preview || target.Status(entry.name).kind == EntryKind::Folder;
            } else {
                s.ActionMark = s.ReversePass ? kDeleteB : kDeleteA;
                remains = !TrashSource(source, entry, uncertain);
                onTarget = false;
            }
            break;
        default:
            // A file or link of the same name on the other side, or a side that cannot be
            // read: neither is touched.
            ReportFailedCopy();
            return true;
    }

    s.IconBase = 0;
    if (s.ActionMark != kSame) {
        AddLogRow();
    }
    if (s.ReversePass && remains && onTarget) {
        s.NewLog.Add(s.EntryName);
    }
    // A folder that this pass copied whole holds nothing else to do; a preview did not
    // copy it, so there is nothing to read either.
    if (s.ActionMark != kSame || (m_preview && entry.copiedWhole)) {
        return true;
    }
    const Folder sourceChild = source.OpenChild(entry.name);
    const Folder targetChild = target.OpenChild(entry.TargetName());
    if (!sourceChild.IsOpen() || !targetChild.IsOpen()) {
        // What cannot be seen is not missing: nothing below is copied or deleted.
        ReportFailedCopy();
        return true;
    }
    return ReconcileFolder(s.EntryName + '\\', sourceChild, targetChild);
}

void TKalvex::ReconcileFile(const QByteArray& levelPrefix, LevelEntry& entry, const Folder& source,
                            const Folder& target, bool& uncertain) {
    EngineState& s = m_state;
    s.EntryName = levelPrefix + entry.name;
    if (IsLogFilePath(s.EntryName)) {
        return;
    }
    const EntryKind kind = entry.source.kind;
    if (!IsLoggableName(entry.name) || (kind != EntryKind::File && kind != EntryKind::Link)) {
        ReportFailedCopy();
        return;
    }

    const SideState there = entry.target;
    s.SourceTime = ReportTime::Of(entry.source.packed);
    bool remains = true;
    bool onTarget = true;
    // After an action the entry says what the sides hold now; a failed one makes the level
    // uncertain, so the second pass reads it again. A version written here was never listed:
    // the guard refuses any further action on it in this run.
    const auto copied = [&](bool ok, SideState& written, const SideState& from) {
        if (ok) {
            written = from;
        } else {
            ReportFailedCopy();
            uncertain = true;
        }
        return ok;
    };
    if (there.kind == EntryKind::Missing) {
        s.TargetTime = ReportTime::Missing();
        if (!s.PrevLog.Contains(s.EntryName)) {
            s.ActionMark = s.ReversePass ? kCopyBToA : kCopyAToB;
            onTarget = copied(CopyNew(source, entry.name, target), entry.target, entry.source);
        } else {
            s.ActionMark = s.ReversePass ? kDeleteB : kDeleteA;
            remains = !TrashSource(source, entry, uncertain);
            onTarget = false;
        }
    } else if (there.kind == kind) {
        s.TargetTime = ReportTime::Of(there.packed);
        const std::int64_t sourceTime = entry.source.packed;
        const std::int64_t targetTime = there.packed;
        if (targetTime > sourceTime + kTolerance) {
            s.ActionMark = s.ReversePass ? kNewerA : kNewerB;
            copied(Replace(target, entry.TargetName(), source, entry.name, entry.source.listed),
                   entry.source, entry.target);
        } else if (sourceTime > targetTime + kTolerance) {
            s.ActionMark = s.ReversePass ? kNewerB : kNewerA;
            copied(Replace(source, entry.name, target, entry.TargetName(), entry.target.listed),
                   entry.target, entry.source);
        } else {
            s.ActionMark = kSame;
        }
    } else {
        // A folder, a link against a file, or a side that cannot be read: neither side is
        // touched, and the name is not listed.
        ReportFailedCopy();
        return;
    }

    s.IconBase = 1;
    if (s.ActionMark != kSame) {
        AddLogRow();
    }
    if (s.ReversePass && remains && onTarget) {
        s.NewLog.Add(s.EntryName);
    }
}

bool TKalvex::TrashSource(const Folder& source, LevelEntry& entry, bool& uncertain) {
    if (!Trash(source, entry.name, entry.source.listed)) {
        ReportFailedDelete();
        uncertain = true;
        return false;
    }
    entry.source = SideState();
    return true;
}

bool TKalvex::Written(const platform::Result& done, const Folder& folder) {
    if (done) {
        m_written.Note(folder);
    }
    return static_cast<bool>(done);
}

bool TKalvex::CopyNew(const Folder& from, const QByteArray& name, const Folder& to) {
    return m_preview || Written(platform::CopyEntry(from, name, to), to);
}

bool TKalvex::Replace(const Folder& from, const QByteArray& fromName, const Folder& to,
                      const QByteArray& name, platform::Version listed) {
    return m_preview || Written(platform::ReplaceEntry(from, fromName, to, name, listed), to);
}

bool TKalvex::CopyWhole(const Folder& from, const QByteArray& name, const Folder& to) {
    return m_preview || Written(platform::CopyFolder(from, name, to, TakenByFolderCopy,
                                                     [this] { return Terminated(); }),
                                to);
}

bool TKalvex::Trash(const Folder& folder, const QByteArray& name, platform::Version listed) {
    if (m_preview) {
        return true;
    }
    // An entry written since it was listed is not the one that was deleted on the other side.
    if (platform::Version::Of(folder.Status(name)) != listed) {
        return false;
    }
    return Written(platform::MoveToTrash(folder, name), folder);
}

void TKalvex::BeginProfile(const Folder& rootA, const Folder& rootB) {
    m_frontend.BeginProfile(m_state.ProfileName, rootA.CountSubFolders() + rootB.CountSubFolders());
}

void TKalvex::ShowFolder() {
    m_frontend.ShowFolder(CurrentFolder, m_state.TopLevel);
}

void TKalvex::AddLogRow() {
    const EngineState& s = m_state;
    LogRow row;
    row.fileName = s.EntryName;
    row.action = s.ActionMark;
    const QString sourceText = s.SourceTime.Text(m_timeFormat);
    const QString targetText = s.TargetTime.Text(m_timeFormat);
    row.timeA = s.ReversePass ? targetText : sourceText;
    row.timeB = s.ReversePass ? sourceText : targetText;
    const bool deletion = s.ActionMark == kDeleteA || s.ActionMark == kDeleteB;
    row.imageIndex = s.IconBase + (deletion ? 2 : 0);
    m_frontend.AddLogRow(row);
}

void TKalvex::ShowError(const QString& text) {
    m_frontend.ShowMessage({text, QStringLiteral("Error!"), MessageKind::Error, Answer::Ok});
}

void TKalvex::ReportFailedCopy() {
    ShowError(QStringLiteral("Failed to copy: ") + Display(m_state.EntryName));
}

void TKalvex::ReportFailedDelete() {
    ShowError(QStringLiteral("Failed to delete: ") + Display(m_state.EntryName));
}

}  // namespace kalvex
