#pragma once

#include "About.h"
#include "Prompts.h"
#include "Syncsettings.h"

#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QPointer>

namespace kalvex {

// The real prompts: message boxes, the two file dialogs of the main window, the folder
// chooser and the desktop's opener.
class TWidgetPrompts final : public TPrompts {
public:
    explicit TWidgetPrompts(QWidget& window);

    SaveAnswer AskSaveChanges() override;
    std::optional<QString> OpenProjectFileName() override;
    std::optional<QString> SaveProjectFileName() override;
    void ShowError(const QString& caption, const QString& text) override;
    void ShowEngineMessage(const EngineMessage& message,
                           std::function<void(Answer)> answered) override;
    void CloseEngineMessages() override;
    void Beep() override;
    TSyncSettingsPrompts& SyncSettingsPrompts() override { return m_syncSettingsPrompts; }
    TUrlOpener& UrlOpener() override { return m_urlOpener; }

private:
    static std::optional<QString> Choose(QFileDialog& dialog);

    QWidget& m_window;
    // Kept between showings: each dialog starts from the name it returned last.
    QFileDialog dlgOpen;
    QFileDialog dlgSave;
    QList<QPointer<QMessageBox>> m_engineBoxes;
    TWidgetSyncSettingsPrompts m_syncSettingsPrompts;
    TDesktopUrlOpener m_urlOpener;
};

}  // namespace kalvex
