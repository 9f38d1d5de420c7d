#pragma once

#include "engine/Profile.h"
#include "engine/SyncFrontend.h"

#include <QString>

#include <functional>
#include <optional>
#include <span>

namespace kalvex {

// The main-thread side of a run: what the worker reads and shows, called on the thread that
// owns the window only. TThreadFrontend carries the worker's calls over.
class TRunView {
public:
    virtual ~TRunView() = default;

    virtual int RunProfileCount() const = 0;
    virtual std::optional<Profile> RunProfileAt(int index) const = 0;
    virtual int RunSelectedProfile() const = 0;
    virtual QString RunProjectFileName() const = 0;

    virtual void RunBeginProfile(const QString& profileName, int topLevelFolders) = 0;
    virtual void RunShowFolder(const QString& currentFolder, bool topLevel) = 0;
    virtual void RunAddLogRows(std::span<const LogRow> rows) = 0;  // met one after another
    virtual void RunFinish(bool allProfilesCompleted) = 0;

    // A preview's warning, shown after the rows of its profile.
    virtual void RunShowWarning(const QString& text) = 0;

    // Must not block: `answered` is called later, on the main thread.
    virtual void RunAsk(const EngineMessage& message, std::function<void(Answer)> answered) = 0;
};

}  // namespace kalvex
