#include "GuiTest.h"
#include "Window.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace kalvex;
using kalvex::test::Window;
using SaveAnswer = TPrompts::SaveAnswer;

Q_DECLARE_METATYPE(SaveAnswer)

namespace {

const QList<Profile> kFirst = {{true, "one", "/a1", "/b1"}, {false, "two", "/a2", "/b2"}};
const QList<Profile> kSecond = {{true, "other", "/x", "/y"}};

QString DefaultProject(const Window& window) {
    return window.Stored("General/DefaultProject").toString();
}

}  // namespace

class TestProjectCommands final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void init() {
        QVERIFY(test::WriteProject(Path("first.kvx"), kFirst));
        QVERIFY(test::WriteProject(Path("second.kvx"), kSecond));
        QFile::remove(Path("new.kvx"));
    }

    // Steps: "new", "open NAME", "saveas NAME", "save".
    void titles_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("applicationTitle");
        QTest::newRow("New") << QStringList{"new"} << "(Untitled) - Kalvex"
                             << "(Untitled) - Kalvex";
        QTest::newRow("Open") << QStringList{"new", "open first.kvx"} << "first.kvx - Kalvex"
                              << "first.kvx - Kalvex";
        QTest::newRow("Save As from untitled names only the caption")
            << QStringList{"new", "saveas new.kvx"} << "new.kvx - Kalvex"
            << "(Untitled) - Kalvex";
        QTest::newRow("Open after Save As sets both")
            << QStringList{"new", "saveas new.kvx", "open second.kvx"} << "second.kvx - Kalvex"
            << "second.kvx - Kalvex";
        QTest::newRow("Save As of an opened project")
            << QStringList{"new", "open first.kvx", "saveas new.kvx"} << "new.kvx - Kalvex"
            << "first.kvx - Kalvex";
    }
    void titles() {
        QFETCH(QStringList, steps);
        QFETCH(QString, caption);
        QFETCH(QString, applicationTitle);
        const Window window;
        QCOMPARE(window->ApplicationTitle(), QString("Kalvex"));
        for (const QString& step : steps) {
            const QString argument = Path(step.section(' ', 1));
            if (step == "new") {
                QVERIFY(window.Trigger("actFileNew"));
            } else if (step.startsWith("open")) {
                window.Prompts().openNames.append(argument);
                QVERIFY(window.Trigger("actFileOpen"));
            } else {
                window.Prompts().saveNames.append(argument);
                QVERIFY(window.Trigger("actFileSaveAs"));
            }
        }
        QCOMPARE(window->windowTitle(), caption);
        QCOMPARE(window->ApplicationTitle(), applicationTitle);
        QCOMPARE(window.Prompts().saveQuestions, 0);
    }

    void openReadsTheProfiles() {
        const Window window;
        window->FormCreate({});
        window.Prompts().openNames.append(Path("first.kvx"));
        QVERIFY(window.Trigger("actFileOpen"));
        QCOMPARE(window.ProfileNames(), (QStringList{"one", "two"}));
        QCOMPARE(window.SyncList()->topLevelItem(1)->checkState(0), Qt::Unchecked);
        QCOMPARE(window.SyncList()->topLevelItem(0)->text(2), QString("/b1"));
        QVERIFY(window.Action("actSyncAll")->isEnabled());
        QVERIFY(!window.Action("actSyncSelected")->isEnabled());
        QVERIFY(window.Action("actPreviewAll")->isEnabled());
        QVERIFY(!window.Action("actPreviewSelected")->isEnabled());
        QCOMPARE(window->CurrentProjectFileName(), Path("first.kvx"));
        QVERIFY(!window->IsModified());
    }

    // New and Open with unsaved changes, per answer.
    void saveQuestion_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("titled");
        QTest::addColumn<SaveAnswer>("answer");
        QTest::addColumn<bool>("saveDialogCancelled");
        QTest::addColumn<bool>("goesAhead");
        QTest::addColumn<int>("saveDialogs");
        QTest::addColumn<bool>("savedFile");
        QTest::newRow("New, No") << "new" << true << SaveAnswer::No << false << true << 0 << false;
        QTest::newRow("New, Cancel")
            << "new" << true << SaveAnswer::Cancel << false << false << 0 << false;
        QTest::newRow("New, Yes, titled")
            << "new" << true << SaveAnswer::Yes << false << true << 0 << true;
        QTest::newRow("New, Yes, untitled, Save dialog cancelled")
            << "new" << false << SaveAnswer::Yes << true << false << 1 << false;
        QTest::newRow("New, Yes, untitled, saved")
            << "new" << false << SaveAnswer::Yes << false << true << 1 << true;
        QTest::newRow("Open, No") << "open" << true << SaveAnswer::No << false << true << 0
                                  << false;
        QTest::newRow("Open, Cancel")
            << "open" << true << SaveAnswer::Cancel << false << false << 0 << false;
        QTest::newRow("Open, Yes, untitled, Save dialog cancelled")
            << "open" << false << SaveAnswer::Yes << true << false << 1 << false;
    }
    void saveQuestion() {
        QFETCH(QString, command);
        QFETCH(bool, titled);
        QFETCH(SaveAnswer, answer);
        QFETCH(bool, saveDialogCancelled);
        QFETCH(bool, goesAhead);
        QFETCH(int, saveDialogs);
        QFETCH(bool, savedFile);
        const Window window;
        window->FormCreate(titled ? QStringList{Path("first.kvx")} : QStringList{});
        // The file now differs from the rows shown, so a save can be seen on disk.
        QVERIFY(test::WriteProject(Path("first.kvx"), kSecond));
        window->SetModified(true);
        window.Prompts().saveAnswers.append(answer);
        window.Prompts().saveNames.append(saveDialogCancelled ? std::nullopt
                                                              : std::optional(Path("new.kvx")));
        window.Prompts().openNames.append(Path("second.kvx"));

        QVERIFY(window.Trigger(command == "new" ? "actFileNew" : "actFileOpen"));

        QCOMPARE(window.Prompts().saveQuestions, 1);
        QCOMPARE(window.Prompts().saveDialogs, saveDialogs);
        const QString before = titled ? Path("first.kvx") : QString();
        if (goesAhead) {
            QVERIFY(!window->IsModified());
            QCOMPARE(window->CurrentProjectFileName(),
                     command == "open" ? Path("second.kvx") : QString());
        } else {
            QVERIFY(window->IsModified());
            QCOMPARE(window.Prompts().openDialogs, 0);
            QCOMPARE(window->CurrentProjectFileName(), before);
            QCOMPARE(window.ProfileNames().size(), titled ? 2 : 0);
        }
        if (titled) {
            QCOMPARE(test::ReadProject(Path("first.kvx")), savedFile ? kFirst : kSecond);
        } else {
            QCOMPARE(QFile::exists(Path("new.kvx")), savedFile);
        }
    }

    void noQuestionWithoutChanges() {
        const Window window;
        window->FormCreate({Path("first.kvx")});
        window.SyncList()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        QVERIFY(window.Trigger("actFileNew"));
        window.Prompts().openNames.append(Path("second.kvx"));
        QVERIFY(window.Trigger("actFileOpen"));
        QCOMPARE(window.Prompts().saveQuestions, 0);
        QCOMPARE(window.ProfileNames(), QStringList{"other"});
    }

    void noThenCancelledOpenKeepsTheChanges() {
        const Window window;
        window->FormCreate({Path("first.kvx")});
        window->SetModified(true);
        window.Prompts().saveAnswers = {SaveAnswer::No, SaveAnswer::Cancel};
        window.Prompts().openNames.append(std::nullopt);
        QVERIFY(window.Trigger("actFileOpen"));
        QVERIFY(window->IsModified());
        QCOMPARE(window.ProfileNames().size(), 2);
        QVERIFY(window.Trigger("actFileNew"));
        QCOMPARE(window.Prompts().saveQuestions, 2);
        QCOMPARE(window.ProfileNames().size(), 2);
    }

    void saveOfATitledProjectAsksForNoName() {
        const Window window;
        window->FormCreate({Path("first.kvx")});
        QVERIFY(test::WriteProject(Path("first.kvx"), kSecond));
        window->SetModified(true);
        QVERIFY(window.Trigger("actFileSave"));
        QCOMPARE(window.Prompts().saveDialogs, 0);
        QCOMPARE(test::ReadProject(Path("first.kvx")), kFirst);
        QVERIFY(!window->IsModified());
        QCOMPARE(window->windowTitle(), QString("first.kvx - Kalvex"));
    }

    void failedSaveChangesNothing() {
        const Window window;
        window->FormCreate({Path("first.kvx")});
        window->SetModified(true);
        const QString unwritable = Path("no such folder/p.kvx");
        window.Prompts().saveNames.append(unwritable);
        QVERIFY(window.Trigger("actFileSaveAs"));
        QCOMPARE(window.Prompts().errors.size(), 1);
        const QString error = window.Prompts().errors.first();
        QVERIFY2(error.startsWith("first.kvx - Kalvex | "), qPrintable(error));
        QVERIFY2(error.contains(unwritable), qPrintable(error));
        QCOMPARE(window->CurrentProjectFileName(), Path("first.kvx"));
        QCOMPARE(window->windowTitle(), QString("first.kvx - Kalvex"));
        QVERIFY(window->IsModified());
        QVERIFY(!QFile::exists(unwritable));
    }

    // A failed save started by the question stops the command that asked it.
    void failedSaveFromTheQuestionStopsNew() {
        const Window window;
        window->FormCreate({});
        window->SetModified(true);
        window.Prompts().saveAnswers.append(SaveAnswer::Yes);
        window.Prompts().saveNames.append(Path("no such folder/p.kvx"));
        QVERIFY(window.Trigger("actFileNew"));
        QCOMPARE(window.Prompts().errors.size(), 1);
        QVERIFY(window->IsModified());
    }

    void refusedProjectFileKeepsTheCurrentProject() {
        QFile garbage(Path("garbage.kvx"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray("[General]\nNumOfItems=1\n\0\0", 25));
        garbage.close();
        const Window window;
        window->FormCreate({Path("first.kvx")});
        window.Prompts().openNames.append(Path("garbage.kvx"));
        QVERIFY(window.Trigger("actFileOpen"));
        QCOMPARE(window.Prompts().errors.size(), 1);
        QVERIFY(window.Prompts().errors.first().contains(Path("garbage.kvx")));
        QCOMPARE(window.ProfileNames(), (QStringList{"one", "two"}));
        QCOMPARE(window->CurrentProjectFileName(), Path("first.kvx"));
        QCOMPARE(window->windowTitle(), QString("first.kvx - Kalvex"));
    }

    void missingProjectBeepsAndKeepsTheName() {
        const Window window;
        window->FormCreate({Path("first.kvx")});
        window.Prompts().openNames.append(Path("gone.kvx"));
        QVERIFY(window.Trigger("actFileOpen"));
        QCOMPARE(window.Prompts().beeps, 1);
        QCOMPARE(window.ProfileNames().size(), 2);
        QCOMPARE(window->windowTitle(), QString("first.kvx - Kalvex"));
        QCOMPARE(window->CurrentProjectFileName(), Path("gone.kvx"));
        // A later Save writes the rows there without a dialog.
        QVERIFY(window.Trigger("actFileSave"));
        QCOMPARE(window.Prompts().saveDialogs, 0);
        QCOMPARE(test::ReadProject(Path("gone.kvx")), kFirst);
        QFile::remove(Path("gone.kvx"));
    }

    void defaultProjectMark_data() {
        QTest::addColumn<QString>("stored");  // the DefaultProject value; {first}: its path
        QTest::addColumn<bool>("checked");
        QTest::newRow("same path") << "{first}" << true;
        QTest::newRow("differs in ASCII letter case") << "{FIRST}" << true;
        QTest::newRow("another project") << "{second}" << false;
        QTest::newRow("none") << "" << false;
    }
    void defaultProjectMark() {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        stored.replace("{first}", Path("first.kvx"))
            .replace("{FIRST}", Path("first.kvx").toUpper())
            .replace("{second}", Path("second.kvx"));
        const Window window;
        window.Store("General/DefaultProject", stored);
        window.Prompts().openNames.append(Path("first.kvx"));
        QVERIFY(window.Trigger("actFileOpen"));
        QCOMPARE(window.Action("actFileSetAsDefault")->isChecked(), checked);
    }

    void defaultProjectCommand() {
        const Window window;
        window->FormCreate({});
        QAction* setAsDefault = window.Action("actFileSetAsDefault");
        QVERIFY(!setAsDefault->isEnabled());
        setAsDefault->trigger();  // bare on purpose: the disabled command must ignore it
        QCOMPARE(DefaultProject(window), QString());

        window.Prompts().saveNames.append(Path("new.kvx"));
        QVERIFY(window.Trigger("actFileSaveAs"));
        QVERIFY(setAsDefault->isEnabled());
        QVERIFY(!setAsDefault->isChecked());
        QVERIFY(Window::Trigger(setAsDefault));
        QVERIFY(setAsDefault->isChecked());
        QCOMPARE(DefaultProject(window), Path("new.kvx"));

        window.Prompts().openNames.append(Path("second.kvx"));
        QVERIFY(window.Trigger("actFileOpen"));
        QVERIFY(!setAsDefault->isChecked());
        QVERIFY(Window::Trigger(setAsDefault));
        QCOMPARE(DefaultProject(window), Path("second.kvx"));
        QVERIFY(Window::Trigger(setAsDefault));
        QVERIFY(!setAsDefault->isChecked());
        QCOMPARE(DefaultProject(window), QString());

        QVERIFY(window.Trigger("actFileNew"));
        QVERIFY(!setAsDefault->isChecked());
        QVERIFY(!setAsDefault->isEnabled());
    }
};

KALVEX_GUI_TEST(TestProjectCommands);

#include "TestProjectCommands.moc"
