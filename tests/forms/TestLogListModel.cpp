#include "GuiTest.h"
#include "engine/SyncFrontend.h"
#include "forms/LogListModel.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <span>
#include <vector>

#ifdef __SANITIZE_ADDRESS__
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

using kalvex::LogRow;
using kalvex::TLogListModel;

namespace {

// Bytes taken from the heap and not given back, whichever allocator serves them.
std::size_t HeapInUse() {
#ifdef __SANITIZE_ADDRESS__
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 heap = mallinfo2();
    return heap.uordblks + heap.hblkhd;
#endif
}

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
        QTest::newRow("times in words of the locale")
            << false << LogRow{"f", QString::fromUtf8("2. M\xc3\xa4rz 2024"), "<", "", 1}
            << QStringList{"f", QString::fromUtf8("2. M\xc3\xa4rz 2024"), "<", "", "1", "1"};
        const QByteArray deep = QByteArray("folder\\").repeated(40) + "file";
        QTest::newRow("name longer than 127 bytes")
            << false << LogRow{deep, "-", "-X", "*", 3}
            << QStringList{QString::fromLatin1(deep), "-", "-X", "*", "3", "1"};
        QTest::newRow("empty texts")
            << false << LogRow{{}, {}, {}, {}, 0} << QStringList{"", "", "", "", "0", "1"};
        QTest::newRow("caption outside ASCII")
            << true << LogRow{"Synchronizing \xc3\x9c" "bersicht:", {}, {}, {}, 0}
            << QStringList{QString::fromUtf8("Synchronizing \xc3\x9c" "bersicht:"), "", "", "",
                           "-1", "-1"};
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

    // Rows of every length, in hand-offs of every size, each read back whole.
    void manyRowsKeepTheirOwnTexts() {
        TLogListModel model;
        const auto rowAt = [](int i) {
            return LogRow{QByteArray(i % 300, 'a' + i % 26) + QByteArray::number(i),
                          QString::number(i * 7), i % 2 == 0 ? ">>" : "X-",
                          QString(i % 5, QChar(0x4e00 + i % 100)), i % 4};
        };
        constexpr int kRows = 5000;
        for (int first = 0, size = 1; first < kRows; first += size, ++size) {
            std::vector<LogRow> rows;
            for (int i = first; i < std::min(first + size, kRows); ++i) {
                rows.push_back(rowAt(i));
            }
            model.AddActionRows(rows);
        }
        QCOMPARE(model.rowCount(), kRows);
        for (int i = 0; i < kRows; ++i) {
            const LogRow row = rowAt(i);
            const QStringList expected{
                QString::fromLatin1(row.fileName), row.timeA, row.action, row.timeB,
                QString::number(row.imageIndex),   "1"};
            QCOMPARE(Row(model, i), expected);
        }
    }

    // A run of a million files must fit in memory: a row costs a little more than its texts.
    void rowsAreHeldCompactly() {
        constexpr int kRows = 100000;
        const std::size_t before = HeapInUse();
        TLogListModel model;
        for (int first = 0; first < kRows; first += 1000) {
            std::vector<LogRow> rows;
            for (int i = first; i < first + 1000; ++i) {
                // A time of its own for each row, as the engine makes them.
                rows.push_back({"folder\\file" + QByteArray::number(100000 + i),
                                QString("2024-01-02 10:%1:00").arg(i % 60, 2, 10, QChar('0')), ">>",
                                "-", 1});
            }
            model.AddActionRows(rows);
        }
        const std::size_t bytesPerRow = (HeapInUse() - before) / kRows;
        qInfo("%zu bytes per row", bytesPerRow);
        // 17 + 19 + 2 + 1 bytes of texts; each a string of its own would take over 200.
        QVERIFY2(bytesPerRow < 120, qPrintable(QString::number(bytesPerRow)));
        QCOMPARE(Row(model, kRows - 1).first(), QString("folder\\file199999"));
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
