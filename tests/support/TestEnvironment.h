#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>
#include <string>

// Values in failure messages as text, not bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}

namespace kalvex::test {

// Table rows of parameterised tests are named by their `name` member.
inline constexpr auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

// Table rows of parameterised tests print as their name.
#define KALVEX_NAMED_CASE(Type)                               \
    inline void PrintTo(const Type& row, std::ostream* out) { \
        *out << row.name;                                     \
    }

// Points HOME, the XDG folders, TZ and the locale at private values for the life of the
// object, and removes the private home at its end.
class PrivateHome {
public:
    PrivateHome();
    ~PrivateHome();
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

    static QString Path();  // the private home of the running test program

private:
    QByteArray m_path;
};

}  // namespace kalvex::test
