#pragma once

#include <QString>

namespace kalvex {

// The help page to open: "help.html" in the program's own folder when it is there, else
// `installedPage` when that exists; empty when neither does.
QString HelpPagePath(const QString& programFolder, const QString& installedPage);

}  // namespace kalvex
