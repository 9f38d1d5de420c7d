#include "GuiTest.h"
#include "forms/HelpPage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvex;

// Which help page F1 opens: the program's own folder first, then the installed one.
class TestHelpPage final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;

    QString Path(const QString& name) const { return m_root.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir(m_root.path()).mkpath("bin"));
        QVERIFY(QDir(m_root.path()).mkpath("empty"));
        QVERIFY(QDir(m_root.path()).mkpath("share/kalvex"));
        QVERIFY(QDir(m_root.path()).mkpath("folder/help.html"));  // a folder of that name
        for (const char* page : {"bin/help.html", "share/kalvex/help.html"}) {
            QFile file(Path(page));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    void findsThePage_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QString>("expected");  // relative to the root; "" for none
        QTest::newRow("beside the program wins") << "bin"
                                                 << "share/kalvex/help.html"
                                                 << "bin/help.html";
        QTest::newRow("beside the program, nothing installed") << "bin"
                                                               << ""
                                                               << "bin/help.html";
        QTest::newRow("installed when not beside") << "empty"
                                                   << "share/kalvex/help.html"
                                                   << "share/kalvex/help.html";
        QTest::newRow("neither") << "empty"
                                 << "share/kalvex/missing.html"
                                 << "";
        QTest::newRow("nothing known") << "empty"
                                       << ""
                                       << "";
        QTest::newRow("a folder named help.html is no page") << "folder"
                                                             << "share/kalvex/help.html"
                                                             << "share/kalvex/help.html";
        QTest::newRow("the installed path is a folder") << "empty"
                                                        << "share/kalvex"
                                                        << "";
        QTest::newRow("installed, relative to the program") << "bin"
                                                            << "../share/kalvex/help.html"
                                                            << "bin/help.html";
        QTest::newRow("installed, relative to the program, nothing beside")
            << "empty"
            << "../share/kalvex/help.html"
            << "share/kalvex/help.html";
        QTest::newRow("relative and missing") << "empty"
                                              << "../share/help.html"
                                              << "";
    }
    void findsThePage() {
        QFETCH(QString, programFolder);
        QFETCH(QString, installed);
        QFETCH(QString, expected);
        // Relative installed paths stay relative: they are taken from the program's folder.
        const bool relative = installed.startsWith("..");
        const QString found = HelpPagePath(
            Path(programFolder), installed.isEmpty() || relative ? installed : Path(installed));
        QCOMPARE(found, expected.isEmpty() ? QString() : Path(expected));
    }

    // No program folder must not mean the current directory.
    void noProgramFolderIsNotTheCurrentDirectory() {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(Path("bin")));
        const QString beside = HelpPagePath(QString(), QString());
        const QString relative = HelpPagePath(QString(), "help.html");
        const QString absolute = HelpPagePath(QString(), Path("share/kalvex/help.html"));
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(beside, QString());
        QCOMPARE(relative, QString());
        QCOMPARE(absolute, Path("share/kalvex/help.html"));
    }
};

KALVEX_GUI_TEST(TestHelpPage);

#include "TestHelpPage.moc"
