#include "GuiTest.h"
#include "Window.h"

#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

using namespace kalvex;
using kalvex::test::Window;
using SaveAnswer = TPrompts::SaveAnswer;

Q_DECLARE_METATYPE(SaveAnswer)

namespace {

const QStringList kKeys = {
    "Left",           "Top",        "Width",      "Height",     "WindowState",
    "SyncListHeight", "SyncListC0", "SyncListC1", "SyncListC2", "LogListC0",
    "LogListC1",      "LogListC2",  "LogListC3"};

QList<int> Columns(const Window& window) {
    QList<int> widths;
    for (int column = 0; column < 3; ++column) {
        widths.append(window.SyncList()->header()->sectionSize(column));
    }
    for (int column = 0; column < 4; ++column) {
        widths.append(window.LogList()->header()->sectionSize(column));
    }
    return widths;
}

QVariant Stored(const Window& window, const QString& key) {
    return window.Stored("UI/" + key);
}

void Store(const Window& window, const QString& key, const QVariant& value) {
    window.Store("UI/" + key, value);
}

bool Shown(const Window& window) {
    window->ShowRestored();
    return QTest::qWaitForWindowExposed(&*window);
}

}  // namespace

class TestLayout final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartTakesTheDefaults() {
        const Window window;
        window->FormCreate({});
        QVERIFY(Shown(window));
        QCOMPARE(window.SyncList()->height(), 200);
        QCOMPARE(Columns(window), (QList<int>{80, 400, 400, 550, 140, 50, 140}));
        QVERIFY(!window->isMaximized());
    }

    void closeInNormalStateWritesAllThirteen() {
        const Window window;
        window->FormCreate({});
        QVERIFY(Shown(window));
        window.LogList()->header()->resizeSection(0, 321);
        QVERIFY(window->close());
        QStringList stored = window.StoredKeys();
        stored.sort();
        QStringList expected;
        for (const QString& key : kKeys) {
            expected.append("UI/" + key);
        }
        expected.sort();
        QCOMPARE(stored, expected);
        QCOMPARE(Stored(window, "LogListC0").toInt(), 321);
        QCOMPARE(Stored(window, "Width").toInt(), window->width());
        QCOMPARE(Stored(window, "Height").toInt(), window->height());
        QCOMPARE(Stored(window, "SyncListHeight").toInt(), window.SyncList()->height());
        QCOMPARE(Stored(window, "WindowState").toInt(), 0);
    }

    void storedValuesTakeEffect_data() {
        QTest::addColumn<bool>("asText");
        QTest::newRow("numbers") << false;
        QTest::newRow("decimal texts") << true;
    }
    void storedValuesTakeEffect() {
        QFETCH(bool, asText);
        const QList<int> values = {30, 40, 700, 500, 0, 150, 90, 210, 220, 300, 100, 60, 110};
        const Window window;
        for (int i = 0; i < kKeys.size(); ++i) {
            Store(window, kKeys[i],
                  asText ? QVariant(QString::number(values[i])) : QVariant(values[i]));
        }
        window->FormCreate({});
        QVERIFY(Shown(window));
        QCOMPARE(window->pos(), QPoint(30, 40));
        QCOMPARE(window->size(), QSize(700, 500));
        QCOMPARE(window.SyncList()->height(), 150);
        QCOMPARE(Columns(window), values.mid(6));
    }

    void textThatIsNoNumberGivesTheDefault() {
        const Window window;
        Store(window, "SyncListC0", QString("wide"));
        Store(window, "SyncListHeight", QString("tall"));
        window->FormCreate({});
        QVERIFY(Shown(window));
        QCOMPARE(Columns(window).first(), 80);
        QCOMPARE(window.SyncList()->height(), 200);
    }

    void closingMaximisedKeepsTheNormalValues() {
        const QList<int> values = {30, 40, 700, 500, 0, 150, 90, 210, 220, 300, 100, 60, 110};
        // Both windows on one store: the second starts from what the first left.
        const QTemporaryDir store;
        const QString settings = store.filePath("Kalvex.conf");
        {
            const Window window(settings);
            for (int i = 0; i < kKeys.size(); ++i) {
                Store(window, kKeys[i], values[i]);
            }
            window->FormCreate({});
            QVERIFY(Shown(window));
            window->showMaximized();
            QTRY_VERIFY(window->isMaximized());
            window.SyncList()->header()->resizeSection(0, 33);
            QVERIFY(window->close());
            QCOMPARE(Stored(window, "WindowState").toInt(), 2);
            QCOMPARE(Stored(window, "SyncListHeight").toInt(), window.SyncList()->height());
            for (const int i : {0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 12}) {
                QCOMPARE(Stored(window, kKeys[i]).toInt(), values[i]);
            }
        }
        const Window window(settings);
        window->FormCreate({});
        QVERIFY(Shown(window));
        QVERIFY(window->isMaximized());
        QCOMPARE(Columns(window).first(), 90);
    }

    void closingWithUnsavedChanges_data() {
        QTest::addColumn<bool>("titled");
        QTest::addColumn<SaveAnswer>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("saved");
        QTest::newRow("Cancel keeps the window") << true << SaveAnswer::Cancel << false << false;
        QTest::newRow("No closes without saving") << true << SaveAnswer::No << true << false;
        QTest::newRow("Yes saves and closes") << true << SaveAnswer::Yes << true << true;
        QTest::newRow("Yes, untitled, Save dialog cancelled keeps the window")
            << false << SaveAnswer::Yes << false << false;
    }
    void closingWithUnsavedChanges() {
        QFETCH(bool, titled);
        QFETCH(SaveAnswer, answer);
        QFETCH(bool, closes);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString project = dir.filePath("p.kvx");
        QVERIFY(test::WriteProject(project, {{true, "one", "/a", "/b"}}));
        const Window window;
        window->FormCreate(titled ? QStringList{project} : QStringList{});
        QVERIFY(Shown(window));
        QVERIFY(test::WriteProject(project, {}));
        window->SetModified(true);
        window.Prompts().saveAnswers.append(answer);
        window.Prompts().saveNames.append(std::nullopt);

        QCOMPARE(window->close(), closes);
        QCOMPARE(window.Prompts().saveQuestions, 1);
        QCOMPARE(test::ReadProject(project).size(), saved ? 1 : 0);
        // The layout is written whether or not the window closes.
        QCOMPARE(Stored(window, "WindowState").toInt(), 0);
        QVERIFY(Stored(window, "SyncListHeight").isValid());
    }

    void closingWithoutChangesAsksNothing() {
        const Window window;
        window->FormCreate({});
        QVERIFY(Shown(window));
        QVERIFY(window->close());
        QCOMPARE(window.Prompts().saveQuestions, 0);
        QCOMPARE(window.Prompts().beeps, 0);
    }
};

KALVEX_GUI_TEST(TestLayout);

#include "TestLayout.moc"
