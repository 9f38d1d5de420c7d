#pragma once

#include "engine/SyncFrontend.h"

#include <QList>
#include <QMutex>
#include <QStringList>

#include <deque>
#include <functional>

namespace kalvex::test {

// A front end that records what a run shows, as lines of text, and answers questions from
// a script (Yes once the script is used up).
class RecordingFrontend final : public SyncFrontend {
public:
    QList<Profile> profiles;
    int selected = -1;
    QString projectFileName = QStringLiteral("/projects/proj.kvx");
    std::deque<Answer> answers;
    // Called on the worker thread after a row or a folder was recorded.
    std::function<void(const LogRow&)> afterRow;
    std::function<void(const QString&)> afterFolder;
    // Called on the worker thread after a row was read, as the user may edit the list then.
    std::function<void(int index)> afterProfileRead;

    // "Synchronizing NAME: (N folders)", "  FILE | TIME A | MARK | TIME B | IMAGE", "Done."
    QStringList rows;
    QStringList messages;  // "CAPTION: TEXT"
    QStringList warnings;
    QStringList folders;  // "FOLDER" or "FOLDER (top)"
    bool finished = false;
    bool completed = false;

    int ProfileCount() override { return static_cast<int>(profiles.size()); }
    std::optional<Profile> ProfileAt(int index) override {
        if (index < 0 || index >= profiles.size()) {
            return std::nullopt;
        }
        const Profile row = profiles[index];
        if (afterProfileRead) {
            afterProfileRead(index);
        }
        return row;
    }
    int SelectedProfile() override { return selected; }
    QString ProjectFileName() override { return projectFileName; }

    void BeginProfile(const QString& profileName, int topLevelFolders) override {
        rows << HeaderRowCaption(profileName) +
                    QStringLiteral(" (%1 folders)").arg(topLevelFolders);
    }
    void ShowFolder(const QString& currentFolder, bool topLevel) override {
        folders << (topLevel ? currentFolder + QStringLiteral(" (top)") : currentFolder);
        if (afterFolder) {
            afterFolder(currentFolder);
        }
    }
    void AddLogRow(const LogRow& row) override {
        rows << QStringLiteral("  %1 | %2 | %3 | %4 | %5")
                    .arg(QString::fromLocal8Bit(row.fileName), row.timeA, row.action, row.timeB)
                    .arg(row.imageIndex);
        if (afterRow) {
            afterRow(row);
        }
    }
    void FinishRun(bool allProfilesCompleted) override {
        rows << QString::fromUtf16(kDoneRowCaption);
        finished = true;
        completed = allProfilesCompleted;
    }
    void ShowWarning(const QString& text) override { warnings << text; }
    Answer ShowMessage(const EngineMessage& message) override {
        messages << message.caption + QStringLiteral(": ") + message.text;
        if (message.kind != MessageKind::Question) {
            return Answer::Ok;
        }
        if (answers.empty()) {
            return Answer::Yes;
        }
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Runs a worker over the front end to its end (Synchronize All, or Synchronize Selected)
// and waits until it has deleted itself.
void RunToEnd(RecordingFrontend& frontend, bool syncAllMode = true,
              RunMode mode = RunMode::Synchronize);

}  // namespace kalvex::test
