#include "Settings.h"

#include <QMetaType>
#include <QVariant>

namespace kalvex::platform {

namespace {

bool IsText(const QVariant& value) {
    const int type = value.metaType().id();
    return type == QMetaType::QString || type == QMetaType::QByteArray;
}

}  // namespace

Settings::Settings() : Settings(std::make_unique<QSettings>("Marvolt", "Kalvex")) {}

Settings::Settings(std::unique_ptr<QSettings> store) : m_store(std::move(store)) {}

QString Settings::Path(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

QString Settings::ReadString(const QString& section, const QString& key,
                             const QString& fallback) const {
    const QVariant value = m_store->value(Path(section, key));
    return value.isValid() ? value.toString() : fallback;
}

void Settings::WriteString(const QString& section, const QString& key, const QString& value) {
    m_store->setValue(Path(section, key), value);
}

std::optional<int> Settings::ReadOptionalInteger(const QString& section, const QString& key) const {
    const QVariant value = m_store->value(Path(section, key));
    if (!value.isValid()) {
        return std::nullopt;
    }
    bool ok = false;
    const int number = IsText(value) ? value.toString().toInt(&ok, 10) : value.toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

int Settings::ReadInteger(const QString& section, const QString& key, int fallback) const {
    return ReadOptionalInteger(section, key).value_or(fallback);
}

void Settings::WriteInteger(const QString& section, const QString& key, int value) {
    const QString path = Path(section, key);
    if (IsText(m_store->value(path))) {
        m_store->setValue(path, QString::number(value));
    } else {
        m_store->setValue(path, value);
    }
}

QSettings::Status Settings::Sync() {
    m_store->sync();
    return m_store->status();
}

}  // namespace kalvex::platform
