#include "platform/Settings.h"

#include "TestEnvironment.h"

#include <QDataStream>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

namespace kalvex::platform {
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

class TypedStoreTest {
protected:
    std::unique_ptr<QSettings> TypedStore() const {
        return std::make_unique<QSettings>(StorePath(), TypedFormat());
    }
    QString StorePath() const { return m_dir.filePath("store.typed"); }

private:
    QTemporaryDir m_dir;
};

struct ReadIntegerCase {
    const char* name;
    QVariant stored;
    int expected;
};
KALVEX_NAMED_CASE(ReadIntegerCase)

class SettingsReadIntegerTest : public testing::TestWithParam<ReadIntegerCase>,
                                protected TypedStoreTest {};

TEST_P(SettingsReadIntegerTest, TakesNumbersAndDecimalTexts) {
    auto store = TypedStore();
    if (GetParam().stored.isValid()) {
        store->setValue("UI/Left", GetParam().stored);
    }
    const Settings settings(std::move(store));
    EXPECT_EQ(settings.ReadInteger("UI", "Left", 99), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsReadIntegerTest,
    testing::Values(ReadIntegerCase{"number", QVariant(123), 123},
                    ReadIntegerCase{"negative_number", QVariant(-40), -40},
                    ReadIntegerCase{"decimal_text", QVariant(QString("456")), 456},
                    ReadIntegerCase{"negative_text", QVariant(QString("-7")), -7},
                    ReadIntegerCase{"text_that_is_no_number", QVariant(QString("12px")), 99},
                    ReadIntegerCase{"empty_text", QVariant(QString()), 99},
                    ReadIntegerCase{"missing", QVariant(), 99}),
    kalvex::test::kCaseName);

struct WriteIntegerCase {
    const char* name;
    QVariant before;
    QVariant after;
};
KALVEX_NAMED_CASE(WriteIntegerCase)

class SettingsWriteIntegerTest : public testing::TestWithParam<WriteIntegerCase>,
                                 protected TypedStoreTest {};

TEST_P(SettingsWriteIntegerTest, KeepsTextAsText) {
    {
        QSettings seed(StorePath(), TypedFormat());
        if (GetParam().before.isValid()) {
            seed.setValue("UI/Width", GetParam().before);
        }
    }
    {
        Settings settings(TypedStore());
        settings.WriteInteger("UI", "Width", 321);
        EXPECT_EQ(settings.Sync(), QSettings::NoError);
    }
    const QVariant stored = QSettings(StorePath(), TypedFormat()).value("UI/Width");
    EXPECT_EQ(stored.metaType(), GetParam().after.metaType());
    EXPECT_EQ(stored, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsWriteIntegerTest,
    testing::Values(WriteIntegerCase{"missing_becomes_a_number", QVariant(), QVariant(321)},
                    WriteIntegerCase{"number_stays_a_number", QVariant(5), QVariant(321)},
                    WriteIntegerCase{"text_stays_text", QVariant(QString("5")),
                                     QVariant(QString("321"))},
                    WriteIntegerCase{"non_number_text_becomes_the_number_as_text",
                                     QVariant(QString("wide")), QVariant(QString("321"))}),
    kalvex::test::kCaseName);

class SettingsTest : public testing::Test, protected TypedStoreTest {};

TEST_F(SettingsTest, StringsRoundTrip) {
    Settings settings(TypedStore());
    EXPECT_EQ(settings.ReadString("General", "DefaultProject", "none"), QString("none"));
    settings.WriteString("General", "DefaultProject", "/p/a b.kvx");
    EXPECT_EQ(settings.ReadString("General", "DefaultProject", "none"), QString("/p/a b.kvx"));
}

// The real store lives in the user's configuration folder, here the private one.
TEST_F(SettingsTest, NativeStoreIsThePerUserFile) {
    {
        Settings settings;
        settings.WriteInteger("UI", "Top", 17);
        EXPECT_EQ(settings.Sync(), QSettings::NoError);
    }
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         "/Marvolt/Kalvex.conf";
    EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
    EXPECT_TRUE(file.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME"))) << file.toStdString();
    EXPECT_EQ(Settings().ReadInteger("UI", "Top", 0), 17);
    QSettings("Marvolt", "Kalvex").clear();
}

}  // namespace
}  // namespace kalvex::platform
