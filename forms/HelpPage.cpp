#include "HelpPage.h"

#include <QDir>
#include <QFileInfo>

namespace kalvex {

QString HelpPagePath(const QString& programFolder, const QString& installedPage) {
    // Without a folder there is nothing to look in; the current directory is not it.
    if (programFolder.isEmpty()) {
        return QFileInfo(installedPage).isAbsolute() && QFileInfo(installedPage).isFile()
                   ? installedPage
                   : QString();
    }
    const QDir folder(programFolder);
    // The build tree and an unpacked copy keep the page beside the program.
    const QString besideProgram = folder.filePath("help.html");
    const QString installed =
        installedPage.isEmpty() ? QString() : QDir::cleanPath(folder.filePath(installedPage));
    for (const QString& page : {besideProgram, installed}) {
        if (!page.isEmpty() && QFileInfo(page).isFile()) {
            return page;
        }
    }
    return {};
}

}  // namespace kalvex
