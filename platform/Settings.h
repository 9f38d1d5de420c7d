#pragma once

#include <QSettings>
#include <QString>

#include <memory>
#include <optional>

namespace kalvex::platform {

// The per-user settings store: QSettings("Marvolt", "Kalvex") in the native format, read and
// written by section and key the way the program's registry code always did.
class Settings {
public:
    Settings();
    // For tests: any store, for example one in a format that keeps value types.
    explicit Settings(std::unique_ptr<QSettings> store);

    QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
    void WriteString(const QString& section, const QString& key, const QString& value);

    // A number value is taken as it is, a text value as a decimal integer; a text that is not
    // one, or a missing value, gives nothing.
    std::optional<int> ReadOptionalInteger(const QString& section, const QString& key) const;
    int ReadInteger(const QString& section, const QString& key, int fallback) const;
    // Writes a number, except over a value that already exists as text: that gets the text.
    void WriteInteger(const QString& section, const QString& key, int value);

    QSettings::Status Sync();

private:
    static QString Path(const QString& section, const QString& key);

    std::unique_ptr<QSettings> m_store;
};

}  // namespace kalvex::platform
