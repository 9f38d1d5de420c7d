#include "GuiTest.h"
#include "engine/SyncFrontend.h"
#include "forms/LogListModel.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <span>
#include <vector>

using kalvex::LogRow;
using kalvex::TLogListModel;

namespace {

void AddActionRow(TLogListModel& model, const LogRow& row) {
    model.AddActionRows(std::span(&row, 1));
}

}  // namespace

class TestLogListModel final : public QObject {
    Q_OBJECT

private:
    static QStringList Row(const TLogListModel& model, int row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column) {
            cells.append(model.index(row, column).data().toString());
        }
        const QModelIndex first = model.index(row, 0);
        cells.append(QString::number(first.data(TLogListModel::ImageIndexRole).toInt()));
        cells.append(QString::number(first.data(TLogListModel::IndentRole).toInt()));
        return cells;
    }

private Q_SLOTS:
    void rowsShowWhatTheyWereGiven_data() {
        QTest::addColumn<bool>("caption");
        QTest::addColumn<LogRow>("row");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("header row") << true << LogRow{"Synchronizing Docs:", {}, {}, {}, 0}
                                    << QStringList{"Synchronizing Docs:", "", "", "", "-1", "-1"};
        QTest::newRow("file copied")
            << false << LogRow{"sub\\a.txt", "1/2/2024 10:00:00", ">>", "-", 1}
            << QStringList{"sub\\a.txt", "1/2/2024 10:00:00", ">>", "-", "1", "1"};
        QTest::newRow("folder deleted") << false << LogRow{"old", "*", "X-", "-", 2}
                                        << QStringList{"old", "*", "X-", "-", "2", "1"};
        QTest::newRow("name in the file system's bytes")
            << false << LogRow{"caf\xc3\xa9.txt", "-", "<<", "t", 3}
            << QStringList{QString::fromUtf8("caf\xc3\xa9.txt"), "-", "<<", "t", "3", "1"};
    }
    void rowsShowWhatTheyWereGiven() {
        QFETCH(bool, caption);
        QFETCH(LogRow, row);
        QFETCH(QStringList, expected);
        TLogListModel model;
        if (caption) {
            model.AddCaptionRow(QString::fromLocal8Bit(row.fileName));
        } else {
            AddActionRow(model, row);
        }
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(Row(model, 0), expected);
        const bool hasImage = !model.index(0, 0).data(Qt::DecorationRole).isNull();
        QCOMPARE(hasImage, expected.at(4) != "-1");
        QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString("Action"));
    }

    void eachHandOffIsShownAtOnce() {
        TLogListModel model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        std::vector<LogRow> rows;
        for (int i = 0; i < 3; ++i) {
            rows.push_back({QByteArray::number(i), "-", ">>", "-", 1});
        }
        model.AddActionRows(rows);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 0);
        QCOMPARE(inserted.at(0).at(2).toInt(), 2);
        QCOMPARE(Row(model, 2).first(), QString("2"));

        model.AddActionRows({});
        QCOMPARE(inserted.count(), 1);
        model.AddCaptionRow("Done.");
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(1).at(1).toInt(), 3);
        QCOMPARE(Row(model, 3).first(), QString("Done."));

        model.Clear();
        QCOMPARE(model.rowCount(), 0);
        model.AddCaptionRow("Done.");
        QCOMPARE(Row(model, 0).first(), QString("Done."));
    }

    void hundredThousandRowsStayFast() {
        TLogListModel model;
        QTreeView view;
        view.setUniformRowHeights(true);
        view.setRootIsDecorated(false);
        view.setModel(&model);
        view.resize(800, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 100000; ++i) {
            AddActionRow(model, {"folder\\file" + QByteArray::number(i), "-", ">>", "-", 1});
            if (i % 1000 == 0) {
                QCoreApplication::processEvents();
            }
        }
        view.scrollToBottom();
        QCoreApplication::processEvents();
        QCOMPARE(model.rowCount(), 100000);
        QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
    }
};

KALVEX_GUI_TEST(TestLogListModel);

#include "TestLogListModel.moc"
