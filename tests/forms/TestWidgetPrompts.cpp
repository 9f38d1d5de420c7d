#include "GuiTest.h"
#include "forms/WidgetPrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace kalvex;

Q_DECLARE_METATYPE(kalvex::MessageKind)
Q_DECLARE_METATYPE(kalvex::Answer)

// The real boxes of the engine: shown without locking the window, answered once.
class TestWidgetPrompts final : public QObject {
    Q_OBJECT

private:
    static QMessageBox* OpenBox(const QWidget& window) {
        const QList<QMessageBox*> boxes = window.findChildren<QMessageBox*>();
        for (QMessageBox* box : boxes) {
            if (box->isVisible()) {
                return box;
            }
        }
        return nullptr;
    }

private Q_SLOTS:
    void engineBoxLeavesTheWindowUsable_data() {
        QTest::addColumn<MessageKind>("kind");
        QTest::addColumn<QString>("button");  // "close": answered by CloseEngineMessages
        QTest::addColumn<Answer>("expected");
        QTest::newRow("question, Yes") << MessageKind::Question << "Yes" << Answer::Yes;
        QTest::newRow("question, No") << MessageKind::Question << "No" << Answer::No;
        QTest::newRow("question closed") << MessageKind::Question << "close" << Answer::No;
        QTest::newRow("error, OK") << MessageKind::Error << "OK" << Answer::Ok;
        QTest::newRow("error closed") << MessageKind::Error << "close" << Answer::Ok;
    }
    void engineBoxLeavesTheWindowUsable() {
        QFETCH(MessageKind, kind);
        QFETCH(QString, button);
        QFETCH(Answer, expected);
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TWidgetPrompts prompts(window);
        QList<Answer> answers;
        prompts.ShowEngineMessage({"Go on?", "Confirmation", kind, Answer::Yes},
                                  [&answers](Answer answer) { answers.append(answer); });
        QMessageBox* box = OpenBox(window);
        QVERIFY(box != nullptr);
        QCOMPARE(box->windowTitle(), QString("Confirmation"));
        QCOMPARE(box->text(), QString("Go on?"));
        QCOMPARE(box->windowModality(), Qt::NonModal);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(answers.isEmpty());

        if (button == "close") {
            prompts.CloseEngineMessages();
        } else {
            QAbstractButton* pressed = nullptr;
            for (QAbstractButton* candidate : box->buttons()) {
                if (candidate->text().remove('&') == button) {
                    pressed = candidate;
                }
            }
            QVERIFY2(pressed != nullptr, qPrintable(button));
            QTest::mouseClick(pressed, Qt::LeftButton);
        }
        QCOMPARE(answers, QList<Answer>{expected});
        QTRY_COMPARE(OpenBox(window), nullptr);
    }
};

KALVEX_GUI_TEST(TestWidgetPrompts);

#include "TestWidgetPrompts.moc"
