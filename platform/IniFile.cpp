#include "IniFile.h"

#include "TextLines.h"

#include <QStringDecoder>

#include <limits>

namespace kalvex::platform {

namespace {

constexpr qsizetype kMaxValueBytes = 2047;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView Trimmed(QByteArrayView text) {
    while (!text.isEmpty() && IsBlank(text.front())) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && IsBlank(text.back())) {
        text.chop(1);
    }
    return text;
}

QByteArray LookupKey(QByteArrayView section, QByteArrayView key) {
    QByteArray result = section.toByteArray().toLower();
    result += '\0';
    result += key.toByteArray().toLower();
    return result;
}

}  // namespace

IniReader::IniReader(QByteArrayView text) {
    // Many editors start a UTF-8 file with a byte-order mark; it would hide the first section.
    if (text.startsWith("\xEF\xBB\xBF")) {
        text = text.sliced(3);
    }
    QByteArray section;
    bool inSection = false;
    ForEachLine(text, [&](QByteArrayView rawLine) {
        const QByteArrayView line = Trimmed(rawLine);
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            section = Trimmed(line.sliced(1, (close < 0 ? line.size() : close) - 1)).toByteArray();
            inSection = true;
            ++m_sectionCount;
            return;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inSection || equals < 0) {
            return;
        }
        const QByteArrayView key = Trimmed(line.first(equals));
        QByteArrayView value = Trimmed(line.sliced(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.sliced(1, value.size() - 2);
        }
        if (value.size() > kMaxValueBytes) {
            value.truncate(kMaxValueBytes);
        }
        QByteArray lookup = LookupKey(section, key);
        if (!m_values.contains(lookup)) {
            m_values.insert(std::move(lookup), value.toByteArray());
        }
    });
}

std::optional<QByteArray> IniReader::Value(QByteArrayView section, QByteArrayView key) const {
    const auto found = m_values.constFind(LookupKey(section, key));
    if (found == m_values.constEnd()) {
        return std::nullopt;
    }
    return *found;
}

std::optional<int> ParseIniInteger(QByteArrayView text) {
    bool negative = false;
    if (!text.isEmpty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text = text.sliced(1);
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex) {
        text = text.sliced(2);
    }
    if (text.isEmpty() || text.size() > (hex ? 8 : 10)) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + digit;
    }
    if (hex) {
        // Eight hexadecimal digits are the 32 bits of the number, as written.
        value = static_cast<qint32>(static_cast<quint32>(value));
    }
    if (negative) {
        value = -value;
    }
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

int IniReader::ReadInteger(QByteArrayView section, QByteArrayView key, int fallback) const {
    const std::optional<QByteArray> value = Value(section, key);
    if (!value) {
        return fallback;
    }
    return ParseIniInteger(*value).value_or(fallback);
}

bool IniReader::ReadBool(QByteArrayView section, QByteArrayView key, bool fallback) const {
    const std::optional<QByteArray> value = Value(section, key);
    if (!value) {
        return fallback;
    }
    const std::optional<int> number = ParseIniInteger(*value);
    return number ? *number != 0 : fallback;
}

QString IniReader::ReadString(QByteArrayView section, QByteArrayView key,
                              const QString& fallback) const {
    const std::optional<QByteArray> value = Value(section, key);
    if (!value) {
        return fallback;
    }
    // QString::fromLocal8Bit drops a byte-order mark at the start, which would turn a value
    // that begins with one (a folder's name may) into another. Stateless: a sequence cut at the
    // end becomes a replacement character, as fromLocal8Bit makes it, instead of vanishing.
    QStringDecoder decode(QStringDecoder::System, QStringDecoder::Flag::ConvertInitialBom |
                                                      QStringDecoder::Flag::Stateless);
    return decode(*value);
}

bool IniReader::MayBeCut(QByteArrayView section, QByteArrayView key) const {
    const std::optional<QByteArray> value = Value(section, key);
    return value && value->size() >= kMaxValueBytes;
}

void IniWriter::BeginSection(QByteArrayView name) {
    m_text += '[';
    m_text += name;
    m_text += "]\r\n";
}

void IniWriter::WriteString(QByteArrayView key, const QString& value) {
    m_text += key;
    m_text += '=';
    m_text += value.toLocal8Bit();
    m_text += "\r\n";
}

void IniWriter::WriteInteger(QByteArrayView key, int value) {
    WriteString(key, QString::number(value));
}

void IniWriter::WriteBool(QByteArrayView key, bool value) {
    WriteString(key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

}  // namespace kalvex::platform
