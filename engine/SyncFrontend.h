#pragma once

#include "Profile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kalvex {

// A run acts; a preview produces the rows and messages that a run would produce now and
// changes nothing: no copy, no deletion, no log, no lock taken, no question asked.
enum class RunMode { Synchronize, Preview };

// What a message box of the engine looks like; the front end decides how to show it.
enum class MessageKind {
    Error,     // an OK button and the exclamation icon
    Question,  // Yes and No buttons and the information icon
};

enum class Answer { Ok, Yes, No };

// Which question a message asks, for front ends that answer some of them in advance.
enum class MessageTopic {
    Other,
    MissingLog,  // no previous log file: go on without deleting anything?
    EmptySide,   // one side is empty while the log lists entries: delete them on the other?
};

struct EngineMessage {
    QString text;     // may hold line feeds
    QString caption;  // "Error!", "Confirmation", ...
    MessageKind kind = MessageKind::Error;
    Answer defaultAnswer = Answer::Ok;  // for a question: Yes or No
    MessageTopic topic = MessageTopic::Other;
};

// One action row of the log list. Time A is always Directory A's side.
struct LogRow {
    QByteArray fileName;  // relative path with backslashes, the bytes of the names on disk
    QString timeA;
    QString action;  // "<<", ">>", "<", ">", "X-", "-X"
    QString timeB;
    int imageIndex = 0;  // 0 folder, 1 file, 2 deleted folder, 3 deleted file
};

// The front end of a run: the desktop window or the terminal tool. The worker calls every
// operation on its own thread. Reads and message boxes return only with their answer; a
// front end that owns widgets hands them to its own thread and waits. It may show folders
// and rows later, but in the order they came and before anything that follows them.
class SyncFrontend {
public:
    virtual ~SyncFrontend() = default;

    // Reads of the project, safe against the front end changing it at the same moment.
    virtual int ProfileCount() = 0;
    virtual std::optional<Profile> ProfileAt(int index) = 0;  // nothing once the row is gone
    virtual int SelectedProfile() = 0;                        // -1 when no row is selected
    virtual QString ProjectFileName() = 0;

    // Display operations.
    virtual void BeginProfile(const QString& profileName, int topLevelFolders) = 0;
    virtual void ShowFolder(const QString& currentFolder, bool topLevel) = 0;
    virtual void AddLogRow(const LogRow& row) = 0;
    // allProfilesCompleted: no profile run taken returned false (a folder missing, the answer
    // No, an abort).
    virtual void FinishRun(bool allProfilesCompleted) = 0;

    // Shows a message box; the worker waits for the answer. Not "MessageBox": that is a macro
    // of the Windows headers.
    virtual Answer ShowMessage(const EngineMessage& message) = 0;

    // A warning of a preview, after the rows of its profile: what a run would ask first.
    virtual void ShowWarning(const QString& text) = 0;
};

// Texts of the rows that the front ends add themselves.
QString HeaderRowCaption(const QString& profileName);
inline constexpr char16_t kDoneRowCaption[] = u"Done.";

}  // namespace kalvex
