#pragma once

#include <QString>

namespace kalvex {

// The help page to open: "help.html" in the program's own folder when it is there, else
// `installedPage` when that exists; empty when neither does. A relative `installedPage` is
// taken from the program's folder, so an installed tree still finds it after a move.
QString HelpPagePath(const QString& programFolder, const QString& installedPage);

}  // namespace kalvex
