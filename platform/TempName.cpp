#include "TempName.h"

#include <QRandomGenerator>

namespace kalvex::platform {

namespace {
constexpr QByteArrayView kPrefix = ".kvx~";
constexpr QByteArrayView kSuffix = ".tmp";
constexpr qsizetype kDigits = 16;
}  // namespace

QByteArray NewTempName() {
    const quint64 random = QRandomGenerator::global()->generate64();
    return kPrefix.toByteArray() + QByteArray::number(random, 16).rightJustified(kDigits, '0') +
           kSuffix.toByteArray();
}

bool IsTempName(QByteArrayView name) {
    if (name.size() != kPrefix.size() + kDigits + kSuffix.size() || !name.startsWith(kPrefix) ||
        !name.endsWith(kSuffix)) {
        return false;
    }
    const QByteArrayView digits = name.sliced(kPrefix.size(), kDigits);
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace kalvex::platform
