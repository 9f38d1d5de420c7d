#pragma once

#include <QString>

namespace kalvex::test {

// Another user of the machine: nobody (65534), for tests of what one user can do to another.
inline constexpr unsigned kOtherUser = 65534;

// Runs the shell commands `script` as that user (through setpriv, without root's groups) in
// the folder `folder`. Returns an empty text when they succeeded, else what went wrong.
QString RunAsOtherUser(const QString& folder, const QString& script);

}  // namespace kalvex::test
