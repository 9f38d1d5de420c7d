#pragma once

#include "Prompts.h"

#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QPointer>

namespace kalvex {

// The real prompts: message boxes and the two file dialogs of the main window.
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

private:
    static std::optional<QString> Choose(QFileDialog& dialog);

    QWidget& m_window;
    // Kept between showings: each dialog starts from the name it returned last.
    QFileDialog dlgOpen;
    QFileDialog dlgSave;
    QList<QPointer<QMessageBox>> m_engineBoxes;
};

}  // namespace kalvex
