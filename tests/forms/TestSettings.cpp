#include "GuiTest.h"
#include "platform/Settings.h"

#include <QDataStream>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using kalvex::platform::Settings;

namespace {

// A settings format that keeps each value's type, as the Windows registry does, so the
// number-versus-text rules can be seen on any system.
bool ReadTyped(QIODevice& device, QSettings::SettingsMap& map) {
    QDataStream in(&device);
    in >> map;
    return in.status() == QDataStream::Ok;
}

bool WriteTyped(QIODevice& device, const QSettings::SettingsMap& map) {
    QDataStream out(&device);
    out << map;
    return out.status() == QDataStream::Ok;
}

QSettings::Format TypedFormat() {
    static const QSettings::Format format =
        QSettings::registerFormat("typed", ReadTyped, WriteTyped);
    return format;
}

}  // namespace

class TestSettings final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;

    std::unique_ptr<QSettings> TypedStore() {
        return std::make_unique<QSettings>(m_dir.filePath(QString("s%1.typed").arg(++m_files)),
                                           TypedFormat());
    }

private Q_SLOTS:
    void readInteger_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("number") << QVariant(123) << 123;
        QTest::newRow("negative number") << QVariant(-40) << -40;
        QTest::newRow("decimal text") << QVariant(QString("456")) << 456;
        QTest::newRow("negative text") << QVariant(QString("-7")) << -7;
        QTest::newRow("text that is no number") << QVariant(QString("12px")) << 99;
        QTest::newRow("empty text") << QVariant(QString()) << 99;
        QTest::newRow("missing") << QVariant() << 99;
    }
    void readInteger() {
        QFETCH(QVariant, stored);
        QFETCH(int, expected);
        auto store = TypedStore();
        if (stored.isValid()) {
            store->setValue("UI/Left", stored);
        }
        const Settings settings(std::move(store));
        QCOMPARE(settings.ReadInteger("UI", "Left", 99), expected);
    }

    void writeIntegerKeepsTextAsText_data() {
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QVariant>("after");
        QTest::newRow("missing becomes a number") << QVariant() << QVariant(321);
        QTest::newRow("number stays a number") << QVariant(5) << QVariant(321);
        QTest::newRow("text stays text") << QVariant(QString("5")) << QVariant(QString("321"));
        QTest::newRow("non-number text becomes the number as text")
            << QVariant(QString("wide")) << QVariant(QString("321"));
    }
    void writeIntegerKeepsTextAsText() {
        QFETCH(QVariant, before);
        QFETCH(QVariant, after);
        const QString path = m_dir.filePath(QString("w%1.typed").arg(++m_files));
        {
            QSettings seed(path, TypedFormat());
            if (before.isValid()) {
                seed.setValue("UI/Width", before);
            }
        }
        {
            Settings settings(std::make_unique<QSettings>(path, TypedFormat()));
            settings.WriteInteger("UI", "Width", 321);
            QCOMPARE(settings.Sync(), QSettings::NoError);
        }
        const QVariant stored = QSettings(path, TypedFormat()).value("UI/Width");
        QCOMPARE(stored.metaType(), after.metaType());
        QCOMPARE(stored, after);
    }

    void stringsRoundTrip() {
        Settings settings(TypedStore());
        QCOMPARE(settings.ReadString("General", "DefaultProject", "none"), QString("none"));
        settings.WriteString("General", "DefaultProject", "/p/a b.kvx");
        QCOMPARE(settings.ReadString("General", "DefaultProject", "none"), QString("/p/a b.kvx"));
    }

    // The real store lives in the user's configuration folder, here the private one.
    void nativeStoreIsThePerUserFile() {
        {
            Settings settings;
            settings.WriteInteger("UI", "Top", 17);
            QCOMPARE(settings.Sync(), QSettings::NoError);
        }
        const QString file =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            "/Marvolt/Kalvex.conf";
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        QVERIFY2(file.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")), qPrintable(file));
        QCOMPARE(Settings().ReadInteger("UI", "Top", 0), 17);
        QSettings("Marvolt", "Kalvex").clear();
    }
};

KALVEX_GUI_TEST(TestSettings);

#include "TestSettings.moc"
