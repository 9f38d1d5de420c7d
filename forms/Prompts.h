#pragma once

#include "engine/SyncFrontend.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace kalvex {

class TSyncSettingsPrompts;
class TUrlOpener;

// Everything the main window asks the user, in one place, so tests can script the answers.
class TPrompts {
public:
    enum class SaveAnswer { Yes, No, Cancel };

    virtual ~TPrompts() = default;

    // The question before unsaved changes are lost; closing the box counts as Cancel.
    virtual SaveAnswer AskSaveChanges() = 0;
    // The Open and Save dialogs: the chosen path, nothing when cancelled.
    virtual std::optional<QString> OpenProjectFileName() = 0;
    virtual std::optional<QString> SaveProjectFileName() = 0;
    virtual void ShowError(const QString& caption, const QString& text) = 0;
    // A box of the engine. It must not block: `answered` is called once the user answered,
    // while the window stays usable. CloseEngineMessages answers the open ones at once.
    virtual void ShowEngineMessage(const EngineMessage& message,
                                   std::function<void(Answer)> answered) = 0;
    virtual void CloseEngineMessages() = 0;
    virtual void Beep() = 0;
    // The properties dialog's folder chooser and message box.
    virtual TSyncSettingsPrompts& SyncSettingsPrompts() = 0;
    // Opens a folder, the help page or the web page with the user's default program.
    virtual TUrlOpener& UrlOpener() = 0;
};

}  // namespace kalvex
