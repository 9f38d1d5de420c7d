#include "HelpPage.h"

#include <QDir>
#include <QFileInfo>

namespace kalvex {

QString HelpPagePath(const QString& programFolder, const QString& installedPage) {
    // The build tree and an unpacked copy keep the page beside the program.
    const QString besideProgram =
        programFolder.isEmpty() ? QString() : QDir(programFolder).filePath("help.html");
    for (const QString& page : {besideProgram, installedPage}) {
        if (!page.isEmpty() && QFileInfo(page).isFile()) {
            return page;
        }
    }
    return {};
}

}  // namespace kalvex
