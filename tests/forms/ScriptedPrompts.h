#pragma once

#include "forms/About.h"
#include "forms/Prompts.h"
#include "forms/Syncsettings.h"

#include <QList>
#include <QStringList>
#include <QUrl>

namespace kalvex::test {

// Answers the properties dialog's folder chooser from a script and records its boxes.
class ScriptedFolderPrompts final : public TSyncSettingsPrompts {
public:
    std::optional<QString> SelectDirectory(QWidget& /*owner*/, const QString& title) override {
        chooserTitles.append(title);
        return chosen.isEmpty() ? std::nullopt : chosen.takeFirst();
    }
    void ShowExclamation(QWidget& /*owner*/, const QString& caption, const QString& text) override {
        boxes.append(caption + " | " + text);
    }

    QList<std::optional<QString>> chosen;
    QStringList chooserTitles;
    QStringList boxes;
};

// Records what would have been opened, so no test starts a browser or a file manager.
class RecordingUrlOpener final : public TUrlOpener {
public:
    void OpenUrl(const QUrl& url) override { opened.append(url); }
    QList<QUrl> opened;
};

// Answers the main window's questions from a script and records what was asked.
class ScriptedPrompts final : public TPrompts {
public:
    struct EngineBox {
        EngineMessage message;
        std::function<void(Answer)> answered;
    };

    SaveAnswer AskSaveChanges() override {
        ++saveQuestions;
        return saveAnswers.isEmpty() ? SaveAnswer::Cancel : saveAnswers.takeFirst();
    }
    std::optional<QString> OpenProjectFileName() override {
        ++openDialogs;
        return openNames.isEmpty() ? std::nullopt : openNames.takeFirst();
    }
    std::optional<QString> SaveProjectFileName() override {
        ++saveDialogs;
        return saveNames.isEmpty() ? std::nullopt : saveNames.takeFirst();
    }
    void ShowError(const QString& caption, const QString& text) override {
        errors.append(caption + " | " + text);
    }
    void ShowEngineMessage(const EngineMessage& message,
                           std::function<void(Answer)> answered) override {
        shownEngineMessages.append(message.text);
        shownEngineKinds.append(message.kind);
        if (autoAnswer) {
            answered(*autoAnswer);
        } else {
            openEngineBoxes.append({message, std::move(answered)});
        }
    }
    void CloseEngineMessages() override {
        ++closedEngineMessages;
        while (!openEngineBoxes.isEmpty()) {
            const EngineBox box = openEngineBoxes.takeFirst();
            box.answered(box.message.kind == MessageKind::Question ? Answer::No : Answer::Ok);
        }
    }
    void Beep() override { ++beeps; }
    TSyncSettingsPrompts& SyncSettingsPrompts() override { return folders; }
    TUrlOpener& UrlOpener() override { return opener; }

    // Answers the oldest box the user has not answered yet.
    void AnswerOldest(kalvex::Answer answer) { openEngineBoxes.takeFirst().answered(answer); }

    QList<SaveAnswer> saveAnswers;
    QList<std::optional<QString>> openNames;
    QList<std::optional<QString>> saveNames;
    std::optional<kalvex::Answer> autoAnswer;

    int saveQuestions = 0;
    int openDialogs = 0;
    int saveDialogs = 0;
    int beeps = 0;
    int closedEngineMessages = 0;
    QStringList errors;
    QStringList shownEngineMessages;
    QList<MessageKind> shownEngineKinds;  // of shownEngineMessages, in the same order
    QList<EngineBox> openEngineBoxes;
    ScriptedFolderPrompts folders;
    RecordingUrlOpener opener;
};

}  // namespace kalvex::test
