#include "GuiTest.h"
#include "Window.h"
#include "forms/Syncsettings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace kalvex;

namespace {

// Answers the folder chooser from a script and records every box and chooser shown.
class ScriptedSettingsPrompts final : public TSyncSettingsPrompts {
public:
    std::optional<QString> SelectDirectory(QWidget& owner, const QString& title) override {
        chooserTitles.append(title);
        owners.append(&owner);
        return chosen.isEmpty() ? std::nullopt : chosen.takeFirst();
    }
    void ShowExclamation(QWidget& owner, const QString& caption, const QString& text) override {
        boxes.append(caption + " | " + text);
        owners.append(&owner);
    }

    QList<std::optional<QString>> chosen;
    QStringList chooserTitles;
    QStringList boxes;
    QList<QWidget*> owners;
};

const QString kMessageA = "Kalvex | Please specify an existing path for Directory A.";
const QString kMessageB = "Kalvex | Please specify an existing path for Directory B.";

// Runs `act` once the application shows a modal window of type T, then returns.
template <typename T>
void WhenModal(std::function<void(T&)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*window);
        }
    });
    timer->start(10);
}

}  // namespace

class TestSyncSettings final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    ScriptedSettingsPrompts* m_prompts = nullptr;
    std::unique_ptr<ScriptedSettingsPrompts> m_ownedPrompts;
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<TfrmSyncSettings> m_dialog;

    // "a/", "b/" and "file" below the temporary root; "" stays empty, "-" is missing.
    QString Place(const QString& name) const {
        if (name.isEmpty()) {
            return name;
        }
        return m_root.filePath(name == "-" ? QString("missing") : name);
    }
    QLineEdit* Edit(const char* name) const { return m_dialog->findChild<QLineEdit*>(name); }
    QPushButton* Button(const char* name) const { return m_dialog->findChild<QPushButton*>(name); }
    void Open(const ProfileTexts& texts) {
        m_dialog->SetTexts(texts);
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir(m_root.path()).mkpath("a"));
        QVERIFY(QDir(m_root.path()).mkpath("b"));
        QFile file(m_root.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    void init() {
        m_ownedPrompts = std::make_unique<ScriptedSettingsPrompts>();
        m_prompts = m_ownedPrompts.get();
        // A face as narrow as Tahoma 8 pt, for which the places are made.
        m_owner = std::make_unique<QWidget>();
        QFont narrow;
        narrow.setPixelSize(8);
        m_owner->setFont(narrow);
        m_dialog = std::make_unique<TfrmSyncSettings>(m_owner.get(), m_prompts);
    }
    void cleanup() {
        m_dialog.reset();
        m_owner.reset();
    }

    void refusesMissingFoldersInTheOrderAThenB_data() {
        QTest::addColumn<QString>("dirA");
        QTest::addColumn<QString>("dirB");
        QTest::addColumn<QString>("failing");  // the edit refused
        QTest::newRow("both missing") << "-"
                                      << "-"
                                      << "txtDirectoryA";
        QTest::newRow("A missing") << "-"
                                   << "b"
                                   << "txtDirectoryA";
        QTest::newRow("A empty") << ""
                                 << "b"
                                 << "txtDirectoryA";
        QTest::newRow("A a file") << "file"
                                  << "b"
                                  << "txtDirectoryA";
        QTest::newRow("A a file with a separator") << "file/"
                                                   << "b"
                                                   << "txtDirectoryA";
        QTest::newRow("B missing") << "a"
                                   << "-"
                                   << "txtDirectoryB";
        QTest::newRow("B empty") << "a"
                                 << ""
                                 << "txtDirectoryB";
        QTest::newRow("B a file") << "a/"
                                  << "file"
                                  << "txtDirectoryB";
    }
    void refusesMissingFoldersInTheOrderAThenB() {
        QFETCH(QString, dirA);
        QFETCH(QString, dirB);
        QFETCH(QString, failing);
        const ProfileTexts typed{"Photos", Place(dirA), Place(dirB)};
        Open(typed);
        const QSignalSpy finished(m_dialog.get(), &QDialog::finished);

        QTest::mouseClick(Button("cmdOK"), Qt::LeftButton);

        const bool refusedA = failing == "txtDirectoryA";
        QCOMPARE(m_prompts->boxes, QStringList{refusedA ? kMessageA : kMessageB});
        QCOMPARE(m_prompts->owners, QList<QWidget*>{m_dialog.get()});
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_dialog->Texts(), typed);
        QLineEdit* edit = Edit(failing.toLatin1().constData());
        QCOMPARE(edit->selectedText(), edit->text());
        QCOMPARE(edit->selectionStart(), edit->text().isEmpty() ? -1 : 0);
        QCOMPARE(QApplication::focusWidget(), edit);
    }

    void asksForBOnceAIsCorrected() {
        Open({"", Place("-"), Place("-")});
        QTest::mouseClick(Button("cmdOK"), Qt::LeftButton);
        QCOMPARE(m_prompts->boxes, QStringList{kMessageA});

        Edit("txtDirectoryA")->setText(Place("a"));
        QTest::mouseClick(Button("cmdOK"), Qt::LeftButton);
        QCOMPARE(m_prompts->boxes, (QStringList{kMessageA, kMessageB}));
        QCOMPARE(QApplication::focusWidget(), Edit("txtDirectoryB"));
        QVERIFY(m_dialog->isVisible());

        Edit("txtDirectoryB")->setText(Place("b"));
        QTest::mouseClick(Button("cmdOK"), Qt::LeftButton);
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(m_prompts->boxes.size(), 2);
    }

    void acceptsTheTextsExactlyAsTyped_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("dirA");
        QTest::addColumn<QString>("dirB");
        QTest::newRow("plain") << "Photos"
                               << "a"
                               << "b";
        QTest::newRow("trailing separators kept") << "Photos"
                                                  << "a/"
                                                  << "b//";
        QTest::newRow("empty name") << ""
                                    << "a"
                                    << "b";
        QTest::newRow("same folder twice") << "Twice"
                                           << "a"
                                           << "a/";
        QTest::newRow("name kept with its blanks") << "  two  words "
                                                   << "a/../a"
                                                   << "b/.";
    }
    void acceptsTheTextsExactlyAsTyped() {
        QFETCH(QString, name);
        QFETCH(QString, dirA);
        QFETCH(QString, dirB);
        Open({});
        QTest::keyClicks(Edit("txtItemName"), name);
        QTest::keyClicks(Edit("txtDirectoryA"), Place(dirA));
        QTest::keyClicks(Edit("txtDirectoryB"), Place(dirB));

        QTest::mouseClick(Button("cmdOK"), Qt::LeftButton);

        QVERIFY(m_prompts->boxes.isEmpty());
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->Texts(), (ProfileTexts{name, Place(dirA), Place(dirB)}));
    }

    // The caller writes back on every accepted OK, so OK must accept unchanged texts too.
    void okWithoutChangesIsAccepted() {
        const ProfileTexts loaded{"Docs", Place("a/"), Place("b")};
        Open(loaded);
        QTest::mouseClick(Button("cmdOK"), Qt::LeftButton);
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(m_dialog->Texts(), loaded);
    }

    void keysInAnEdit_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("dirA");
        QTest::addColumn<int>("result");  // -1: still open
        QTest::addColumn<QStringList>("boxes");
        const int accepted = QDialog::Accepted;
        const int rejected = QDialog::Rejected;
        for (const char* edit : {"txtItemName", "txtDirectoryA", "txtDirectoryB"}) {
            const QString name(edit);
            QTest::addRow("Enter in %s", edit)
                << name << int(Qt::Key_Return) << "a" << accepted << QStringList();
            QTest::addRow("keypad Enter in %s", edit)
                << name << int(Qt::Key_Enter) << "a" << accepted << QStringList();
            QTest::addRow("Enter in %s, A missing", edit)
                << name << int(Qt::Key_Return) << "-" << -1 << QStringList{kMessageA};
            QTest::addRow("Esc in %s", edit)
                << name << int(Qt::Key_Escape) << "a" << rejected << QStringList();
            QTest::addRow("Esc in %s, A missing", edit)
                << name << int(Qt::Key_Escape) << "-" << rejected << QStringList();
        }
    }
    void keysInAnEdit() {
        QFETCH(QString, edit);
        QFETCH(int, key);
        QFETCH(QString, dirA);
        QFETCH(int, result);
        QFETCH(QStringList, boxes);
        Open({"Name", Place(dirA), Place("b")});
        const QSignalSpy finished(m_dialog.get(), &QDialog::finished);
        QLineEdit* target = Edit(edit.toLatin1().constData());
        target->setFocus();

        QTest::keyClick(target, Qt::Key(key));

        QCOMPARE(m_prompts->boxes, boxes);
        if (result < 0) {
            QVERIFY(m_dialog->isVisible());
            QCOMPARE(finished.count(), 0);
        } else {
            QVERIFY(!m_dialog->isVisible());
            QCOMPARE(finished.count(), 1);
            QCOMPARE(finished.at(0).at(0).toInt(), result);
        }
    }

    void cancelRoutesReject_data() {
        QTest::addColumn<QString>("route");
        QTest::newRow("Cancel button") << "cancel";
        QTest::newRow("close box") << "close";
        QTest::newRow("Esc on a button") << "esc";
    }
    void cancelRoutesReject() {
        QFETCH(QString, route);
        Open({"Name", Place("a"), Place("b")});
        Edit("txtItemName")->setText("changed");
        if (route == "cancel") {
            QTest::mouseClick(Button("cmdCancel"), Qt::LeftButton);
        } else if (route == "close") {
            QVERIFY(m_dialog->close());
        } else {
            Button("cmdSelectDirectoryA")->setFocus();
            QTest::keyClick(Button("cmdSelectDirectoryA"), Qt::Key_Escape);
        }
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
        QVERIFY(m_prompts->boxes.isEmpty());
        QVERIFY(m_prompts->chooserTitles.isEmpty());
    }

    // The way the main window shows it: exec() tells OK from every other way out.
    void execResult_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }
    void execResult() {
        QFETCH(int, key);
        QFETCH(int, result);
        m_dialog->SetTexts({"Name", Place("a"), Place("b")});
        WhenModal<TfrmSyncSettings>(
            [key](TfrmSyncSettings& dialog) { QTest::keyClick(&dialog, Qt::Key(key)); });
        QCOMPARE(m_dialog->exec(), result);
    }

    void browse_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<std::optional<QString>>("chosen");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expectedA");
        QTest::addColumn<QString>("expectedB");
        const std::optional<QString> cancelled;
        const QString picked = "/chosen/folder";
        QTest::newRow("A cancelled") << "cmdSelectDirectoryA" << cancelled << "Select directory A:"
                                     << "old A"
                                     << "old B";
        QTest::newRow("A chosen") << "cmdSelectDirectoryA" << std::optional(picked)
                                  << "Select directory A:" << picked << "old B";
        QTest::newRow("A chosen, no path")
            << "cmdSelectDirectoryA" << std::optional(QString()) << "Select directory A:"
            << ""
            << "old B";
        QTest::newRow("B cancelled") << "cmdSelectDirectoryB" << cancelled << "Select directory B:"
                                     << "old A"
                                     << "old B";
        QTest::newRow("B chosen") << "cmdSelectDirectoryB" << std::optional(picked)
                                  << "Select directory B:"
                                  << "old A" << picked;
    }
    void browse() {
        QFETCH(QString, button);
        QFETCH(std::optional<QString>, chosen);
        QFETCH(QString, title);
        QFETCH(QString, expectedA);
        QFETCH(QString, expectedB);
        Open({"Name", "old A", "old B"});
        m_prompts->chosen = {chosen};

        QTest::mouseClick(Button(button.toLatin1().constData()), Qt::LeftButton);

        QCOMPARE(m_prompts->chooserTitles, QStringList{title});
        QCOMPARE(m_prompts->owners, QList<QWidget*>{m_dialog.get()});
        QCOMPARE(m_dialog->Texts(), (ProfileTexts{"Name", expectedA, expectedB}));
        QVERIFY(m_dialog->isVisible());
        QVERIFY(m_prompts->boxes.isEmpty());
    }

    // Browsing changes only the edit: Cancel afterwards still gives nothing back.
    void browseThenCancel() {
        Open({"Name", Place("a"), Place("b")});
        m_prompts->chosen = {Place("b")};
        QTest::mouseClick(Button("cmdSelectDirectoryA"), Qt::LeftButton);
        QCOMPARE(Edit("txtDirectoryA")->text(), Place("b"));
        QTest::mouseClick(Button("cmdCancel"), Qt::LeftButton);
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    }

    void opensWithTheFocusInTheName() {
        Open({"Name", "A", "B"});
        QCOMPARE(QApplication::focusWidget(), Edit("txtItemName"));
    }

    void tabOrder() {
        Open({});
        QStringList visited;
        for (int i = 0; i < 8; ++i) {
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused != nullptr);
            visited.append(focused->objectName());
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(visited, (QStringList{"txtItemName", "txtDirectoryA", "cmdSelectDirectoryA",
                                       "txtDirectoryB", "cmdSelectDirectoryB", "cmdOK", "cmdCancel",
                                       "txtItemName"}));
    }

    void acceleratorsFocusTheEdits_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("edit");
        QTest::newRow("Alt+N") << int(Qt::Key_N) << "txtItemName";
        QTest::newRow("Alt+A") << int(Qt::Key_A) << "txtDirectoryA";
        QTest::newRow("Alt+B") << int(Qt::Key_B) << "txtDirectoryB";
    }
    void acceleratorsFocusTheEdits() {
        QFETCH(int, key);
        QFETCH(QString, edit);
        Open({});
        Button("cmdCancel")->setFocus();
        QTest::keyClick(m_dialog.get(), Qt::Key(key), Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), edit);
        QVERIFY(m_dialog->isVisible());
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("text");
        QTest::newRow("lblItemName") << "lblItemName" << QRect(11, 16, 62, 21) << "&Name:";
        QTest::newRow("txtItemName") << "txtItemName" << QRect(80, 16, 265, 21) << "";
        QTest::newRow("lblDirectoryA")
            << "lblDirectoryA" << QRect(11, 56, 62, 21) << "Directory &A:";
        QTest::newRow("txtDirectoryA") << "txtDirectoryA" << QRect(80, 56, 481, 21) << "";
        QTest::newRow("cmdSelectDirectoryA")
            << "cmdSelectDirectoryA" << QRect(561, 56, 25, 21) << "...";
        QTest::newRow("lblDirectoryB")
            << "lblDirectoryB" << QRect(11, 88, 62, 21) << "Directory &B:";
        QTest::newRow("txtDirectoryB") << "txtDirectoryB" << QRect(80, 88, 481, 21) << "";
        QTest::newRow("cmdSelectDirectoryB")
            << "cmdSelectDirectoryB" << QRect(561, 88, 25, 21) << "...";
        QTest::newRow("cmdOK") << "cmdOK" << QRect(408, 128, 83, 23) << "OK";
        QTest::newRow("cmdCancel") << "cmdCancel" << QRect(503, 128, 83, 23) << "Cancel";
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QFETCH(QString, text);
        Open({});
        const auto* control = m_dialog->findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->geometry(), place);
        QVERIFY(control->isVisible());
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
            QCOMPARE(label->text(), text);
            QCOMPARE(label->alignment(), Qt::AlignRight | Qt::AlignVCenter);
            QCOMPARE(label->buddy()->objectName(), QString(name).replace("lbl", "txt"));
        } else if (const auto* button = qobject_cast<const QPushButton*>(control)) {
            QCOMPARE(button->text(), text);
            QCOMPARE(button->isDefault(), name == "cmdOK");
        } else {
            const auto* edit = qobject_cast<const QLineEdit*>(control);
            QVERIFY(edit != nullptr);
            QVERIFY(edit->maxLength() >= 32767);  // no limit of its own
        }
    }

    void window() {
        Open({});
        QCOMPARE(m_dialog->windowTitle(), QString("Properties"));
        QCOMPARE(m_dialog->size(), QSize(593, 158));
        QCOMPARE(m_dialog->minimumSize(), QSize(593, 158));
        QCOMPARE(m_dialog->maximumSize(), QSize(593, 158));
        const Qt::WindowFlags flags = m_dialog->windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!m_dialog->isSizeGripEnabled());
        m_dialog->resize(800, 300);
        QCOMPARE(m_dialog->size(), QSize(593, 158));
    }

    // A face wider than Tahoma widens the labels and moves the rest right by as much.
    void wideFaceGivesTheLabelsRoom_data() {
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("14 pixels") << 14;
        QTest::newRow("20 pixels") << 20;
    }
    void wideFaceGivesTheLabelsRoom() {
        QFETCH(int, pixelSize);
        QFont wide;
        wide.setPixelSize(pixelSize);
        m_owner->setFont(wide);
        const TfrmSyncSettings dialog(m_owner.get(), m_prompts);
        const int extra = dialog.width() - 593;
        QVERIFY(extra > 0);
        QCOMPARE(dialog.height(), 158);
        QCOMPARE(dialog.maximumSize(), dialog.minimumSize());
        for (const char* name : {"lblItemName", "lblDirectoryA", "lblDirectoryB"}) {
            const auto* label = dialog.findChild<QLabel*>(name);
            const QString caption = label->text().remove('&');
            QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(caption), name);
            QCOMPARE(label->x(), 11);
            QCOMPARE(label->buddy()->x(), label->geometry().right() + 8);
        }
        const auto place = [&dialog](const char* name) {
            return dialog.findChild<QWidget*>(name)->geometry();
        };
        QCOMPARE(place("txtItemName"), QRect(80 + extra, 16, 265, 21));
        QCOMPARE(place("txtDirectoryA"), QRect(80 + extra, 56, 481, 21));
        QCOMPARE(place("cmdSelectDirectoryB"), QRect(561 + extra, 88, 25, 21));
        QCOMPARE(place("cmdOK"), QRect(408 + extra, 128, 83, 23));
        QCOMPARE(place("cmdCancel"), QRect(503 + extra, 128, 83, 23));
    }

    // Owned by the main window: its face and size, centred over it, gone with it.
    void ownedByTheMainWindow() {
        const test::Window window;
        window->setGeometry(60, 50, 640, 420);  // within the 800 x 600 offscreen screen
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        ScriptedSettingsPrompts prompts;
        auto* dialog = new TfrmSyncSettings(&*window, &prompts);
        const QPointer<TfrmSyncSettings> alive(dialog);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->font(), window->font());
        QCOMPARE(dialog->font().pointSize(), 8);
        const QPoint offset = dialog->geometry().center() - window->geometry().center();
        QVERIFY2(offset.manhattanLength() <= 2,
                 qPrintable(QString("off centre by %1, %2").arg(offset.x()).arg(offset.y())));
        dialog->close();
        window->close();
        QVERIFY(alive);  // a closed dialog is kept until its caller or owner ends it
    }

    // The real chooser: folders only, the title, and nothing when cancelled.
    void realFolderChooser_data() {
        QTest::addColumn<bool>("choose");
        QTest::newRow("cancelled") << false;
        QTest::newRow("chosen") << true;
    }
    void realFolderChooser() {
        QFETCH(bool, choose);
        TWidgetSyncSettingsPrompts prompts;
        QWidget owner;
        owner.show();
        QString title;
        bool foldersOnly = false;
        const QString folder = Place("a");
        WhenModal<QFileDialog>([&](QFileDialog& dialog) {
            title = dialog.windowTitle();
            foldersOnly = dialog.fileMode() == QFileDialog::Directory &&
                          dialog.testOption(QFileDialog::ShowDirsOnly);
            if (choose) {
                dialog.setDirectory(folder);
                static_cast<QDialog&>(dialog).accept();
            } else {
                dialog.reject();
            }
        });
        const std::optional<QString> result = prompts.SelectDirectory(owner, "Select directory A:");
        QCOMPARE(title, QString("Select directory A:"));
        QVERIFY(foldersOnly);
        QCOMPARE(result.value_or("(none)"), choose ? folder : QString("(none)"));
    }

    void realMessageBox() {
        TWidgetSyncSettingsPrompts prompts;
        QWidget owner;
        owner.show();
        QString seen;
        WhenModal<QMessageBox>([&seen](QMessageBox& box) {
            seen = QStringList{box.windowTitle(), box.text(),
                               QString::number(box.icon() == QMessageBox::Warning),
                               QString::number(box.standardButtons())}
                       .join(" | ");
            box.button(QMessageBox::Ok)->click();
        });
        prompts.ShowExclamation(owner, "Kalvex",
                                "Please specify an existing path for Directory B.");
        QCOMPARE(seen, QString("Kalvex | Please specify an existing path for Directory B. | 1 | %1")
                           .arg(int(QMessageBox::Ok)));
    }
};

KALVEX_GUI_TEST(TestSyncSettings);

#include "TestSyncSettings.moc"
