#include "OtherUser.h"

#include <QProcess>

namespace kalvex::test {

QString RunAsOtherUser(const QString& folder, const QString& script) {
    QProcess shell;
    // The folder is entered as root, before the change of user: its parents need not be open
    // to the other user.
    shell.setWorkingDirectory(folder);
    const QString id = QString::number(kOtherUser);
    shell.start(QStringLiteral("setpriv"), {"--reuid=" + id, "--regid=" + id, "--clear-groups",
                                            "sh", "-ec", "umask 022\n" + script});
    if (!shell.waitForFinished(30'000) || shell.exitStatus() != QProcess::NormalExit) {
        return QStringLiteral("setpriv did not run: ") + shell.errorString();
    }
    if (shell.exitCode() != 0) {
        return QStringLiteral("exit %1: %2")
            .arg(shell.exitCode())
            .arg(QString::fromLocal8Bit(shell.readAllStandardError()));
    }
    return {};
}

}  // namespace kalvex::test
