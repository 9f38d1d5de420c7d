#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kalvex {

// What the properties dialog asks the user, so tests can script the answers.
class TSyncSettingsPrompts {
public:
    virtual ~TSyncSettingsPrompts() = default;

    // The folder chooser, folders only: the chosen folder, nothing when cancelled.
    virtual std::optional<QString> SelectDirectory(QWidget& owner, const QString& title) = 0;
    // A box with an OK button and the exclamation icon.
    virtual void ShowExclamation(QWidget& owner, const QString& caption, const QString& text) = 0;
};

// The real folder chooser and message box.
class TWidgetSyncSettingsPrompts final : public TSyncSettingsPrompts {
public:
    std::optional<QString> SelectDirectory(QWidget& owner, const QString& title) override;
    void ShowExclamation(QWidget& owner, const QString& caption, const QString& text) override;
};

// The three texts of a profile that the dialog edits.
struct ProfileTexts {
    QString Name;
    QString DirA;
    QString DirB;

    friend bool operator==(const ProfileTexts&, const ProfileTexts&) = default;
};

// The properties dialog: a profile's name and its two folders. It accepts only when both
// folders exist; the caller then writes Texts() back into its row.
class TfrmSyncSettings final : public QDialog {
    Q_OBJECT

public:
    // `prompts` answers the folder chooser and the message box and must outlive the dialog;
    // null gives the real ones.
    explicit TfrmSyncSettings(QWidget* owner, TSyncSettingsPrompts* prompts = nullptr);
    ~TfrmSyncSettings() override;

    void SetTexts(const ProfileTexts& texts);
    // The texts exactly as typed, in the order Name, Directory A, Directory B.
    ProfileTexts Texts() const;

private:
    void CreateControls();
    QLabel* AddLabel(const char* name, const QString& caption, QLineEdit& buddy, int top);
    QLineEdit* AddEdit(const char* name, int top, int width);
    QPushButton* AddButton(const char* name, const QString& caption, const QRect& place);

    void cmdOKClick();
    void cmdCancelClick();
    void cmdSelectDirectoryAClick();
    void cmdSelectDirectoryBClick();

    // False after telling the user, with the edit's text selected and focused.
    bool CheckDirectory(QLineEdit& edit, const QString& message);
    void Browse(QLineEdit& edit, const QString& title);

    std::unique_ptr<TSyncSettingsPrompts> m_ownPrompts;
    TSyncSettingsPrompts& m_prompts;
    int m_extra = 0;  // room added for the labels where the face is wider than Tahoma

    QLabel* lblItemName = nullptr;
    QLineEdit* txtItemName = nullptr;
    QLabel* lblDirectoryA = nullptr;
    QLineEdit* txtDirectoryA = nullptr;
    QPushButton* cmdSelectDirectoryA = nullptr;
    QLabel* lblDirectoryB = nullptr;
    QLineEdit* txtDirectoryB = nullptr;
    QPushButton* cmdSelectDirectoryB = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};

}  // namespace kalvex
