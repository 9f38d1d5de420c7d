#include "Kalvex.h"

#include "platform/FileOps.h"
#include "platform/SafeWrite.h"
#include "platform/TempName.h"
#include "platform/Trash.h"

#include <QFile>
#include <QScopeGuard>

#include <unistd.h>

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

TKalvex::TKalvex(SyncFrontend& frontend, bool syncAllMode)
    : m_frontend(frontend), m_syncAllMode(syncAllMode) {
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
            m_state.ProfileName = row->Name;
            if (!RunProfile(index)) {
                return false;
            }
        }
        return true;
    }
    const int selected = m_frontend.SelectedProfile();
    const std::optional<Profile> row = selected < 0 ? std::nullopt : m_frontend.ProfileAt(selected);
    if (!row) {
        return true;
    }
    m_state.ProfileName = row->Name;
    return RunProfile(selected);
}

bool TKalvex::RunProfile(int index) {
    const std::optional<Profile> row = m_frontend.ProfileAt(index);
    if (!row) {
        return true;  // the row went away since it was taken: nothing to run
    }
    EngineState& s = m_state;
    s.RootA = QFile::encodeName(row->DirA) + '/';
    s.RootB = QFile::encodeName(row->DirB) + '/';

    // An empty folder path would name the root of the file system: it counts as missing.
    const Folder rootA = row->DirA.isEmpty() ? Folder() : Folder::Open(s.RootA);
    if (!rootA.IsOpen()) {
        ShowError(QStringLiteral("Couldn't find the parent folder:") + Display(s.RootA));
        return false;
    }
    const Folder rootB = row->DirB.isEmpty() ? Folder() : Folder::Open(s.RootB);
    if (!rootB.IsOpen()) {
        ShowError(QStringLiteral("Couldn't find the parent folder:") + Display(s.RootB));
        return false;
    }

    // One run per folder pair: a second run would copy and delete under the first.
    const bool lockedA = rootA.TryLock();
    if (!lockedA || (!rootB.SameAs(rootA) && !rootB.TryLock())) {
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
    if (!s.PrevLog.Load(rootA, LogFileName(m_frontend.ProjectFileName()))) {
        const EngineMessage question{
            QStringLiteral("Couldn't find the previous log file.\nTherefore, no files or "
                           "folders will be deleted.\n\nDo you want to continue?"),
            QStringLiteral("Confirmation"), MessageKind::Question, Answer::Yes,
            MessageTopic::MissingLog};
        if (m_frontend.MessageBox(question) == Answer::No) {
            return false;
        }
    } else if (!ConfirmEmptySide(rootA, rootB)) {
        return false;
    }

    s.NewLog.Reserve(s.PrevLog.TextSize() + s.PrevLog.TextSize() / 8 + 4096);
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
    if (!ReconcileFolder(QByteArray(), rootB, rootA)) {
        return false;
    }
    WriteNewLog(rootA);
    return true;
}

bool TKalvex::ConfirmEmptySide(const Folder& rootA, const Folder& rootB) {
    const EngineState& s = m_state;
    if (s.PrevLog.Count() == 0) {
        return true;
    }
    // The log file and leftovers of safe writes are not the user's entries.
    const auto userEntry = [](QByteArrayView name) {
        return !IsLogFilePath(name) && !platform::IsTempName(name);
    };
    const bool aHolds = rootA.AnyName(userEntry);
    const bool bHolds = rootB.AnyName(userEntry);
    if (aHolds == bHolds) {
        return true;
    }
    // An unplugged drive or an empty mount point looks like everything was deleted there.
    const QString empty = Display(aHolds ? s.RootB : s.RootA);
    const QString other = Display(aHolds ? s.RootA : s.RootB);
    const EngineMessage question{
        QStringLiteral("The folder %1 is empty, but the previous run left %2 entries in it.\n"
                       "If you go on, everything listed in the log file will be deleted from "
                       "the other folder, %3.\n\nDo you want to continue?")
            .arg(empty)
            .arg(s.PrevLog.Count())
            .arg(other),
        QStringLiteral("Confirmation"), MessageKind::Question, Answer::No, MessageTopic::EmptySide};
    return m_frontend.MessageBox(question) == Answer::Yes;
}

void TKalvex::WriteNewLog(const Folder& rootA) {
    const QByteArray name = LogFileName(m_frontend.ProjectFileName());
    int error = 0;
    if (!platform::WriteFileAtomicallyIn(rootA, name, m_state.NewLog.Text(), error)) {
        // The old log no longer describes the folders: a later run must ask rather than
        // delete by it. A log that cannot be written is otherwise not reported.
        ::unlinkat(rootA.Descriptor(), name.constData(), 0);
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
        level = std::move(planned->second);
        m_unchangedLevels.erase(planned);
        level.Swap();
    } else if (int error = 0; !ReadLevel(source, target, level, error)) {
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
            int error = 0;
            platform::TrashLeftover(source, entry.name, error);
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
        m_unchangedLevels.emplace(levelPrefix, std::move(level));
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
                int error = 0;
                if (platform::CopyFolder(source, entry.name, target, TakenByFolderCopy, error)) {
                    entry.target = entry.source;
                } else {
                    ReportFailedCopy();
                    uncertain = true;
                }
                onTarget = target.Status(entry.name).kind == EntryKind::Folder;
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
    if (s.ActionMark != kSame) {
        return true;
    }
    const Folder sourceChild = source.OpenChild(entry.name);
    const Folder targetChild = target.OpenChild(entry.name);
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
    // uncertain, so the second pass reads it again.
    const auto copied = [&](bool ok, SideState& written, const SideState& from) {
        if (ok) {
            written = from;
        } else {
            ReportFailedCopy();
            uncertain = true;
        }
        return ok;
    };
    int error = 0;
    if (there.kind == EntryKind::Missing) {
        s.TargetTime = ReportTime::Missing();
        if (!s.PrevLog.Contains(s.EntryName)) {
            s.ActionMark = s.ReversePass ? kCopyBToA : kCopyAToB;
            onTarget = copied(platform::CopyEntry(source, entry.name, target,
                                                  platform::CopyMode::FailIfExists, error),
                              entry.target, entry.source);
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
            copied(platform::CopyEntry(target, entry.name, source, platform::CopyMode::Overwrite,
                                       error),
                   entry.source, entry.target);
        } else if (sourceTime > targetTime + kTolerance) {
            s.ActionMark = s.ReversePass ? kNewerB : kNewerA;
            copied(platform::CopyEntry(source, entry.name, target, platform::CopyMode::Overwrite,
                                       error),
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
    int error = 0;
    if (!platform::MoveToTrash(source, entry.name, error)) {
        ReportFailedDelete();
        uncertain = true;
        return false;
    }
    entry.source = SideState();
    return true;
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
    m_frontend.MessageBox({text, QStringLiteral("Error!"), MessageKind::Error, Answer::Ok});
}

void TKalvex::ReportFailedCopy() {
    ShowError(QStringLiteral("Failed to copy: ") + Display(m_state.EntryName));
}

void TKalvex::ReportFailedDelete() {
    ShowError(QStringLiteral("Failed to delete: ") + Display(m_state.EntryName));
}

}  // namespace kalvex
