#pragma once

#include "EngineState.h"
#include "FolderLevel.h"
#include "SyncFrontend.h"

#include "platform/FileTime.h"
#include "platform/Folder.h"
#include "platform/WrittenFileSystems.h"

#include <QThread>

#include <unordered_map>

namespace kalvex {

// The worker of one run: synchronises every checked profile (Synchronize All) or the selected
// one (Synchronize Selected) on its own thread. It starts itself when constructed and deletes
// itself once the front end's FinishRun has returned; keep a QPointer to it, never delete it.
// Abort is QThread::requestInterruption(); the passes look at it before each file.
class TKalvex final : public QThread {
    Q_OBJECT

public:
    TKalvex(SyncFrontend& frontend, bool syncAllMode, RunMode mode = RunMode::Synchronize);
    ~TKalvex() override;

    bool Terminated() const { return isInterruptionRequested(); }

protected:
    void run() override;

private:
    bool Execute();
    bool RunProfile(const Profile& profile);
    bool ReconcileFolder(const QByteArray& levelPrefix, const platform::Folder& source,
                         const platform::Folder& target);
    bool ReconcileSubFolder(const QByteArray& levelPrefix, LevelEntry& entry,
                            const platform::Folder& source, const platform::Folder& target,
                            bool& uncertain);
    void ReconcileFile(const QByteArray& levelPrefix, LevelEntry& entry,
                       const platform::Folder& source, const platform::Folder& target,
                       bool& uncertain);
    // Moves the source side's entry to the trash; a failure is reported.
    bool TrashSource(const platform::Folder& source, LevelEntry& entry, bool& uncertain);

    // The actions of a pass, true when done; each notes the file system it wrote to. A
    // preview takes every action as done and touches nothing.
    bool CopyNew(const platform::Folder& from, const QByteArray& name, const platform::Folder& to);
    bool Replace(const platform::Folder& from, const QByteArray& fromName,
                 const platform::Folder& to, const QByteArray& name, platform::Version listed);
    bool CopyWhole(const platform::Folder& from, const QByteArray& name,
                   const platform::Folder& to);
    bool Trash(const platform::Folder& folder, const QByteArray& name, platform::Version listed);
    bool Written(const platform::Result& done, const platform::Folder& folder);
    // Reads the previous log and asks what its absence, or an empty side, calls for; false
    // when the answer is No. A preview asks nothing; it gets a warning for an empty side.
    bool TakePreviousLog(const platform::Folder& rootA, const platform::Folder& rootB,
                         const LogLocation& log, QString& previewWarning);
    // One side holds no entry of the user's while the other does, and the log lists some.
    struct EmptySide {
        QString empty;
        QString other;
    };
    std::optional<EmptySide> FindEmptySide(const platform::Folder& rootA,
                                           const platform::Folder& rootB) const;
    // True when another profile of the project has the same Directory A.
    bool SharesDirectoryA(const Profile& profile, const platform::Folder& rootA);
    void WriteNewLog(const platform::Folder& rootA, const LogLocation& log);

    // Display operations, handed to the front end.
    void BeginProfile(const platform::Folder& rootA, const platform::Folder& rootB);
    void ShowFolder();
    void AddLogRow();

    void ShowError(const QString& text);
    void ReportFailedCopy();
    void ReportFailedDelete();

    SyncFrontend& m_frontend;
    const bool m_syncAllMode;
    const bool m_preview;
    const platform::TimeTextFormat m_timeFormat;
    EngineState m_state;
    // Levels that the first pass read, as its actions left them, by their prefix: the second
    // pass takes them from here instead of reading both sides again.
    std::unordered_map<QByteArray, KeptLevel> m_unchangedLevels;
    platform::WrittenFileSystems m_written;  // flushed before the new log is written
    LetterCase m_letterCase = LetterCase::Exact;
    platform::HelperThread m_lister;  // lists a level's target side while the pass lists its source
    bool m_trashAtTop = false;        // a root is the top of its file system: its trash is left out
    QString CurrentFolder;            // the folder a pass met last, shown while the run goes on
};

}  // namespace kalvex
