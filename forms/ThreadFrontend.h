#pragma once

#include "RunView.h"
#include "engine/SyncFrontend.h"

#include <QObject>

namespace kalvex {

// The front end the worker talks to. Every call is carried to the thread of `context` and
// waits there for the view; values come back as copies, so the worker never touches a widget.
class TThreadFrontend final : public SyncFrontend {
public:
    TThreadFrontend(QObject& context, TRunView& view);

    int ProfileCount() override;
    std::optional<Profile> ProfileAt(int index) override;
    int SelectedProfile() override;
    QString ProjectFileName() override;

    void BeginProfile(const QString& profileName, int topLevelFolders) override;
    void ShowFolder(const QString& currentFolder, bool topLevel) override;
    void AddLogRow(const LogRow& row) override;
    void FinishRun(bool allProfilesCompleted) override;

    // Waits for the answer without holding the main thread: the box is shown there while
    // this thread sleeps.
    Answer MessageBox(const EngineMessage& message) override;

private:
    template <typename Fn>
    auto OnMainThread(Fn&& fn);

    QObject& m_context;
    TRunView& m_view;
};

}  // namespace kalvex
