#pragma once

#include "RunView.h"
#include "engine/SyncFrontend.h"

#include <QObject>
#include <QTimer>

#include <mutex>
#include <variant>
#include <vector>

namespace kalvex {

// The front end the worker talks to. Every call is carried to the thread of `context`;
// values come back as copies, so the worker never touches a widget. Folders met and rows
// are queued and shown in batches, in order, a few times a second at most: a hand-off per
// row would cost the worker more time than the copy it reports, and would wake the main
// thread for every row. Rows that came one after another reach the view in one call.
// Every other call waits for the view, and first shows what is queued, so the view sees
// everything in the worker's order.
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
    Answer ShowMessage(const EngineMessage& message) override;
    void ShowWarning(const QString& text) override;

private:
    struct FolderMet {
        QString folder;
        bool topLevel;
    };
    using Rows = std::vector<LogRow>;  // met one after another
    using Shown = std::variant<FolderMet, Rows>;

    template <typename Fn>
    auto OnMainThread(Fn&& fn);
    template <typename Item>
    void Queue(const Item& item);
    // To m_queue, with m_queueLock held.
    void Add(const FolderMet& folder);
    void Add(const LogRow& row);
    void ShowQueued(bool all);  // main thread

    QObject& m_context;
    TRunView& m_view;
    QTimer m_showTimer;  // main thread: the next batch
    std::mutex m_queueLock;
    std::vector<Shown> m_queue;
    bool m_showPending = false;  // a batch is on its way; with m_queueLock
};

}  // namespace kalvex
