#include "GuiTest.h"
#include "Window.h"
#include "forms/About.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace kalvex;

namespace {

// Records what would have been opened.
class RecordingOpener final : public TUrlOpener {
public:
    void OpenUrl(const QUrl& url) override { opened.append(url); }
    QList<QUrl> opened;
};

// An icon no other test uses, in one colour per size, so a wrong size shows.
QIcon TestIcon() {
    QIcon icon;
    for (const auto& [size, colour] : {std::pair{16, Qt::red}, std::pair{32, Qt::blue}}) {
        QPixmap pixmap(size, size);
        pixmap.fill(colour);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

class TestAbout final : public QObject {
    Q_OBJECT

private:
    RecordingOpener m_opener;
    std::unique_ptr<test::Window> m_owner;
    TfrmAbout* m_about = nullptr;  // owned by the main window

    template <typename T>
    T* Control(const char* name) const {
        return m_about->findChild<T*>(name);
    }

private Q_SLOTS:
    void init() {
        m_opener.opened.clear();
        // The main window as owner: its font is the one the fixed places are made for.
        m_owner = std::make_unique<test::Window>();
        (*m_owner)->setWindowIcon(TestIcon());
        (*m_owner)->show();
        m_about = new TfrmAbout(&**m_owner, &m_opener);
        m_about->show();
        QVERIFY(QTest::qWaitForWindowActive(m_about));
    }
    void cleanup() { m_owner.reset(); }

    void window() {
        QCOMPARE(m_about->windowTitle(), QString("About"));
        QCOMPARE(m_about->size(), QSize(256, 110));
        QCOMPARE(m_about->minimumSize(), m_about->maximumSize());
        const Qt::WindowFlags flags = m_about->windowFlags();
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                           Qt::WindowContextHelpButtonHint)));
    }

    void texts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("name") << "Kalvex"
                              << "Kalvex" << QPoint(48, 8);
        QTest::newRow("version") << "lblVersion"
                                 << "Version 1.01 Beta" << QPoint(48, 24);
        QTest::newRow("website label") << "lblWebsite"
                                       << "Website:" << QPoint(8, 56);
        QTest::newRow("notice") << "lblCopyright"
                                << "Copyright (c) 2026 The Kalvex developers" << QPoint(8, 88);
    }
    void texts() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QPoint, place);
        const auto* label = m_about->findChild<QLabel*>(name);
        QVERIFY(label != nullptr);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->pos(), place);
        // Sized to the text or wider: nothing of it is cut off.
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(text));
        QVERIFY(label->geometry().right() < m_about->width());
    }

    void nameIsBoldAndLarger() {
        const QFont name = Control<QLabel>("Kalvex")->font();
        const QFont version = Control<QLabel>("lblVersion")->font();
        QVERIFY(name.bold());
        QVERIFY(!version.bold());
        QCOMPARE(name.pointSize(), 9);
        QCOMPARE(name.family(), version.family());
        QCOMPARE(version, (*m_owner)->font());
    }

    void places_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::newRow("imgAppIcon") << "imgAppIcon" << QRect(8, 8, 32, 32);
        QTest::newRow("lblWebsite") << "lblWebsite" << QRect(8, 56, 49, 25);
        QTest::newRow("sbWebsite") << "sbWebsite" << QRect(64, 56, 177, 25);
        QTest::newRow("lblCopyright") << "lblCopyright" << QRect(8, 88, 241, 17);
        QTest::newRow("cmdOK") << "cmdOK" << QRect(176, 8, 75, 23);
    }
    void places() {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        const auto* control = m_about->findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->geometry(), place);
    }

    void ruleAcrossTheBox() {
        const auto* rule = Control<QFrame>("Bevel1");
        QVERIFY(rule != nullptr);
        QCOMPARE(rule->frameShape(), QFrame::HLine);
        QCOMPARE(rule->geometry().topLeft(), QPoint(8, 48));
        QCOMPARE(rule->width(), 241);
    }

    void showsTheOwnersIconAt32Pixels() {
        const QImage shown = Control<QLabel>("imgAppIcon")->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(32, 32));
        QCOMPARE(shown.pixelColor(16, 16), QColor(Qt::blue));
    }

    void websiteButton() {
        const auto* button = Control<QToolButton>("sbWebsite");
        QCOMPARE(button->text(), QString("https://kalvex.org"));
        QVERIFY(button->autoRaise());
        QVERIFY(button->font().underline());
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    }

    // The address opened is the one the button shows.
    void websiteOpensTheAddressAndTheBoxStays() {
        QTest::mouseClick(Control<QToolButton>("sbWebsite"), Qt::LeftButton);
        QCOMPARE(m_opener.opened, QList<QUrl>{QUrl(Control<QToolButton>("sbWebsite")->text())});
        QCOMPARE(m_opener.opened, QList<QUrl>{QUrl("https://kalvex.org")});
        QVERIFY(m_about->isVisible());
        QTest::mouseClick(Control<QToolButton>("sbWebsite"), Qt::LeftButton);
        QCOMPARE(m_opener.opened.size(), 2);
    }

    void okIsDefaultAndFocused() {
        const auto* ok = Control<QPushButton>("cmdOK");
        QCOMPARE(ok->text(), QString("OK"));
        QVERIFY(ok->isDefault());
        QCOMPARE(QApplication::focusWidget(), ok);
    }

    void closes_data() {
        QTest::addColumn<QString>("route");
        QTest::newRow("Enter") << "enter";
        QTest::newRow("keypad Enter") << "keypad";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("OK clicked") << "click";
        QTest::newRow("close box") << "close";
    }
    void closes() {
        QFETCH(QString, route);
        const QSignalSpy finished(m_about, &QDialog::finished);
        if (route == "enter") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else if (route == "keypad") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        } else if (route == "esc") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        } else if (route == "click") {
            QTest::mouseClick(Control<QPushButton>("cmdOK"), Qt::LeftButton);
        } else {
            QVERIFY(m_about->close());
        }
        QVERIFY(!m_about->isVisible());
        QCOMPARE(finished.count(), 1);
        QVERIFY(m_opener.opened.isEmpty());
    }

    // Shown modally as the main window does: Enter ends exec() at once.
    void execEndsOnEnter() {
        m_about->hide();
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [this, &poll] {
            if (QApplication::activeModalWidget() == m_about) {
                poll.stop();
                QTest::keyClick(m_about, Qt::Key_Return);
            }
        });
        poll.start(10);
        QCOMPARE(m_about->exec(), int(QDialog::Accepted));
    }
};

KALVEX_GUI_TEST(TestAbout);

#include "TestAbout.moc"
