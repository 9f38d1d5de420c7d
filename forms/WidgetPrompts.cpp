#include "WidgetPrompts.h"

#include <QApplication>
#include <QPushButton>

namespace kalvex {

namespace {

const QStringList kProjectFilters = {"Kalvex Project (*.kvx)", "All Files (*.*)"};

void SetUpProjectDialog(QFileDialog& dialog, const QString& title) {
    dialog.setWindowTitle(title);
    dialog.setNameFilters(kProjectFilters);
    dialog.setDefaultSuffix("kvx");
    dialog.setSizeGripEnabled(true);
}

Answer AnswerOf(QMessageBox::StandardButton button, const EngineMessage& message) {
    switch (button) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Ok:
            return Answer::Ok;
        default:
            return message.kind == MessageKind::Question ? Answer::No : Answer::Ok;
    }
}

}  // namespace

TWidgetPrompts::TWidgetPrompts(QWidget& window)
    : m_window(window), dlgOpen(&window), dlgSave(&window) {
    SetUpProjectDialog(dlgOpen, "Open Project");
    dlgOpen.setAcceptMode(QFileDialog::AcceptOpen);
    dlgOpen.setFileMode(QFileDialog::ExistingFile);
    dlgOpen.setOption(QFileDialog::ReadOnly, false);

    SetUpProjectDialog(dlgSave, "Save Project");
    dlgSave.setAcceptMode(QFileDialog::AcceptSave);
    dlgSave.setFileMode(QFileDialog::AnyFile);
}

TPrompts::SaveAnswer TWidgetPrompts::AskSaveChanges() {
    QMessageBox box(QMessageBox::Warning, "Kalvex",
                    "The settings in the project file has modified.\n\n"
                    "Do you want to save the changes?",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, &m_window);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return SaveAnswer::Yes;
        case QMessageBox::No:
            return SaveAnswer::No;
        default:
            return SaveAnswer::Cancel;
    }
}

std::optional<QString> TWidgetPrompts::Choose(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    dialog.selectFile(chosen);
    return chosen;
}

std::optional<QString> TWidgetPrompts::OpenProjectFileName() {
    return Choose(dlgOpen);
}

std::optional<QString> TWidgetPrompts::SaveProjectFileName() {
    return Choose(dlgSave);
}

void TWidgetPrompts::ShowError(const QString& caption, const QString& text) {
    QMessageBox::critical(&m_window, caption, text);
}

void TWidgetPrompts::ShowEngineMessage(const EngineMessage& message,
                                       std::function<void(Answer)> answered) {
    const bool question = message.kind == MessageKind::Question;
    // Not open(): that would make the box window-modal and lock Abort out.
    auto* box = new QMessageBox(
        question ? QMessageBox::Information : QMessageBox::Warning, message.caption, message.text,
        question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, &m_window);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (question) {
        box->setDefaultButton(message.defaultAnswer == Answer::Yes ? QMessageBox::Yes
                                                                   : QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
    }
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, message, answered = std::move(answered)](int) {
                         const auto button = box->standardButton(box->clickedButton());
                         answered(AnswerOf(button, message));
                     });
    m_engineBoxes.removeIf([](const QPointer<QMessageBox>& old) { return old.isNull(); });
    m_engineBoxes.append(box);
    box->show();
}

void TWidgetPrompts::CloseEngineMessages() {
    for (const QPointer<QMessageBox>& box : std::as_const(m_engineBoxes)) {
        if (box) {
            box->reject();
        }
    }
    m_engineBoxes.clear();
}

void TWidgetPrompts::Beep() {
    QApplication::beep();
}

}  // namespace kalvex
