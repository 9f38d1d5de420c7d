#pragma once

#include "SyncOptions.h"

#include "engine/SyncFrontend.h"

#include <QElapsedTimer>
#include <QList>

#include <atomic>
#include <cstdio>

namespace kalvex {

// The front end of kalvex-sync: rows to standard output, messages and a progress line to
// standard error, questions on the terminal. Every call comes from the worker thread.
class TerminalFrontend final : public SyncFrontend {
public:
    TerminalFrontend(QList<Profile> profiles, const SyncOptions& options);

    // Called from the main thread when a signal asks to stop: a question that waits for the
    // terminal is then answered No.
    void RequestAbort() { m_abortRequested = true; }
    bool Completed() const { return m_completed; }
    // An error was shown: an entry that could not be copied or deleted, or any other.
    bool ErrorReported() const { return m_errorReported; }

    int ProfileCount() override;
    std::optional<Profile> ProfileAt(int index) override;
    int SelectedProfile() override;
    QString ProjectFileName() override;

    void BeginProfile(const QString& profileName, int topLevelFolders) override;
    void ShowFolder(const QString& currentFolder, bool topLevel) override;
    void AddLogRow(const LogRow& row) override;
    void FinishRun(bool allProfilesCompleted) override;

    Answer ShowMessage(const EngineMessage& message) override;
    void ShowWarning(const QString& text) override;

private:
    void WriteRow(const QByteArray& line);
    void ClearProgress();
    void DrawProgress(bool force);
    Answer AnswerOf(MessageTopic topic);
    Answer AskOnTerminal();

    const QList<Profile> m_profiles;
    const SyncOptions m_options;
    const bool m_progressShown;  // standard error is a terminal
    std::atomic<bool> m_abortRequested{false};
    bool m_completed = false;
    bool m_errorReported = false;

    QString m_profileName;
    QString m_folder;
    int m_progressMaximum = 0;
    int m_progressPosition = 0;
    bool m_progressDrawn = false;
    QElapsedTimer m_sinceDrawn;
};

}  // namespace kalvex
