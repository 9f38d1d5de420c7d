#include "Syncsettings.h"
#include "FixedDialog.h"

#include "platform/Folder.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace kalvex {

namespace {

constexpr int kClientWidth = 593;
constexpr int kClientHeight = 158;
constexpr int kLabelLeft = 11;
constexpr int kLabelWidth = 62;
constexpr int kEditLeft = 80;
constexpr int kRowHeight = 21;
constexpr int kNameWidth = 265;
constexpr int kDirectoryWidth = 481;
constexpr int kNameTop = 16;
constexpr int kDirectoryATop = 56;
constexpr int kDirectoryBTop = 88;

const QString kCaption = "Kalvex";

// The places are made for Tahoma 8 pt. A wider face gets the room its labels need, added
// between the labels and the edits, so no caption is cut off; with Tahoma this is none.
int ExtraLabelWidth(const QFontMetrics& metrics) {
    int extra = 0;
    for (const char* caption : {"Name:", "Directory A:", "Directory B:"}) {
        extra = std::max(extra, metrics.horizontalAdvance(caption) + 1 - kLabelWidth);
    }
    return extra;
}

}  // namespace

std::optional<QString> TWidgetSyncSettingsPrompts::SelectDirectory(QWidget& owner,
                                                                   const QString& title) {
    // Started nowhere in particular: the chooser does not open at the folder in the edit.
    const QString chosen =
        QFileDialog::getExistingDirectory(&owner, title, QString(), QFileDialog::ShowDirsOnly);
    if (chosen.isNull()) {
        return std::nullopt;
    }
    return chosen;
}

void TWidgetSyncSettingsPrompts::ShowExclamation(QWidget& owner, const QString& caption,
                                                 const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, &owner);
    box.exec();
}

TfrmSyncSettings::TfrmSyncSettings(QWidget* owner, TSyncSettingsPrompts* prompts)
    : QDialog(owner, kFixedDialogFlags),
      m_ownPrompts(prompts != nullptr ? nullptr : std::make_unique<TWidgetSyncSettingsPrompts>()),
      m_prompts(prompts != nullptr ? *prompts : *m_ownPrompts) {
    setObjectName("frmSyncSettings");
    setWindowTitle("Properties");
    // The owner's face and size, as every window of the program has.
    setAttribute(Qt::WA_WindowPropagation);
    m_extra = ExtraLabelWidth(fontMetrics());
    setFixedSize(kClientWidth + m_extra, kClientHeight);
    setSizeGripEnabled(false);
    CreateControls();
    txtItemName->setFocus();
}

TfrmSyncSettings::~TfrmSyncSettings() = default;

void TfrmSyncSettings::CreateControls() {
    txtItemName = AddEdit("txtItemName", kNameTop, kNameWidth);
    lblItemName = AddLabel("lblItemName", "&Name:", *txtItemName, kNameTop);

    txtDirectoryA = AddEdit("txtDirectoryA", kDirectoryATop, kDirectoryWidth);
    lblDirectoryA = AddLabel("lblDirectoryA", "Directory &A:", *txtDirectoryA, kDirectoryATop);
    cmdSelectDirectoryA =
        AddButton("cmdSelectDirectoryA", "...", QRect(561, kDirectoryATop, 25, kRowHeight));

    txtDirectoryB = AddEdit("txtDirectoryB", kDirectoryBTop, kDirectoryWidth);
    lblDirectoryB = AddLabel("lblDirectoryB", "Directory &B:", *txtDirectoryB, kDirectoryBTop);
    cmdSelectDirectoryB =
        AddButton("cmdSelectDirectoryB", "...", QRect(561, kDirectoryBTop, 25, kRowHeight));

    cmdOK = AddButton("cmdOK", "OK", QRect(408, 128, 83, 23));
    cmdCancel = AddButton("cmdCancel", "Cancel", QRect(503, 128, 83, 23));
    // Enter in an edit presses OK; Esc rejects the dialog, which is what Cancel does.
    cmdOK->setDefault(true);

    connect(cmdOK, &QPushButton::clicked, this, &TfrmSyncSettings::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmSyncSettings::cmdCancelClick);
    connect(cmdSelectDirectoryA, &QPushButton::clicked, this,
            &TfrmSyncSettings::cmdSelectDirectoryAClick);
    connect(cmdSelectDirectoryB, &QPushButton::clicked, this,
            &TfrmSyncSettings::cmdSelectDirectoryBClick);

    setTabOrder(txtItemName, txtDirectoryA);
    setTabOrder(txtDirectoryA, cmdSelectDirectoryA);
    setTabOrder(cmdSelectDirectoryA, txtDirectoryB);
    setTabOrder(txtDirectoryB, cmdSelectDirectoryB);
    setTabOrder(cmdSelectDirectoryB, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
}

QLabel* TfrmSyncSettings::AddLabel(const char* name, const QString& caption, QLineEdit& buddy,
                                   int top) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(name);
    label->setGeometry(kLabelLeft, top, kLabelWidth + m_extra, kRowHeight);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(&buddy);
    return label;
}

QLineEdit* TfrmSyncSettings::AddEdit(const char* name, int top, int width) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setGeometry(kEditLeft + m_extra, top, width, kRowHeight);
    return edit;
}

QPushButton* TfrmSyncSettings::AddButton(const char* name, const QString& caption,
                                         const QRect& place) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setGeometry(place.translated(m_extra, 0));
    return button;
}

void TfrmSyncSettings::SetTexts(const ProfileTexts& texts) {
    txtItemName->setText(texts.Name);
    txtDirectoryA->setText(texts.DirA);
    txtDirectoryB->setText(texts.DirB);
}

ProfileTexts TfrmSyncSettings::Texts() const {
    return {txtItemName->text(), txtDirectoryA->text(), txtDirectoryB->text()};
}

void TfrmSyncSettings::cmdOKClick() {
    if (CheckDirectory(*txtDirectoryA, "Please specify an existing path for Directory A.") &&
        CheckDirectory(*txtDirectoryB, "Please specify an existing path for Directory B.")) {
        accept();
    }
}

void TfrmSyncSettings::cmdCancelClick() {
    reject();
}

void TfrmSyncSettings::cmdSelectDirectoryAClick() {
    Browse(*txtDirectoryA, "Select directory A:");
}

void TfrmSyncSettings::cmdSelectDirectoryBClick() {
    Browse(*txtDirectoryB, "Select directory B:");
}

bool TfrmSyncSettings::CheckDirectory(QLineEdit& edit, const QString& message) {
    if (platform::FolderExists(edit.text())) {
        return true;
    }
    m_prompts.ShowExclamation(*this, kCaption, message);
    edit.selectAll();
    edit.setFocus();
    return false;
}

void TfrmSyncSettings::Browse(QLineEdit& edit, const QString& title) {
    if (const std::optional<QString> chosen = m_prompts.SelectDirectory(*this, title)) {
        edit.setText(*chosen);
    }
}

}  // namespace kalvex
