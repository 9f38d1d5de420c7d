#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <optional>

namespace kalvex::platform {

// Reads INI text with the rules that existing project files were written for: a UTF-8
// byte-order mark at the start is skipped; section and key names match without regard to
// letter case; a value is the text after the first "=", without the blanks around it and
// without one pair of enclosing quotation marks, cut to 2047 bytes; the first occurrence of
// a key in a section wins; anything else is ignored.
class IniReader {
public:
    explicit IniReader(QByteArrayView text);

    std::optional<QByteArray> Value(QByteArrayView section, QByteArrayView key) const;

    // A decimal integer, or hexadecimal after "0x"; `fallback` when missing or not one.
    int ReadInteger(QByteArrayView section, QByteArrayView key, int fallback) const;
    // An integer, non-zero meaning true; `fallback` when missing or not an integer.
    bool ReadBool(QByteArrayView section, QByteArrayView key, bool fallback) const;
    QString ReadString(QByteArrayView section, QByteArrayView key, const QString& fallback) const;
    // True when the value fills the 2047 bytes that a value can hold: it may have been cut.
    bool MayBeCut(QByteArrayView section, QByteArrayView key) const;

    int SectionCount() const { return m_sectionCount; }

private:
    QHash<QByteArray, QByteArray> m_values;  // "section\0key", both lower case
    int m_sectionCount = 0;
};

// Parses an integer as the reader does; nothing when the text is not an integer.
std::optional<int> ParseIniInteger(QByteArrayView text);

// Builds INI text: sections and keys in the order written, lines ending in CR LF.
class IniWriter {
public:
    void BeginSection(QByteArrayView name);
    void WriteString(QByteArrayView key, const QString& value);
    void WriteInteger(QByteArrayView key, int value);
    void WriteBool(QByteArrayView key, bool value);

    const QByteArray& Text() const { return m_text; }

private:
    QByteArray m_text;
};

}  // namespace kalvex::platform
