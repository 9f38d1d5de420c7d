#include "ExfatStick.h"

#include <QFile>
#include <QProcess>

#include <sys/mount.h>

namespace kalvex::test {

namespace {

constexpr int kCannotHere = 77;  // the script's "skipped" exit status
constexpr int kScriptTimeoutMs = 120'000;

int RunScript(const QStringList& arguments, QString& errors) {
    QProcess script;
    script.start(QStringLiteral("bash"),
                 QStringList{QStringLiteral(KALVEX_EXFAT_STICK)} + arguments);
    if (!script.waitForFinished(kScriptTimeoutMs)) {
        script.kill();
        script.waitForFinished();
        errors = QStringLiteral("exfat-stick.sh did not finish");
        return -1;
    }
    errors = QString::fromLocal8Bit(script.readAllStandardError()).trimmed();
    return script.exitStatus() == QProcess::NormalExit ? script.exitCode() : -1;
}

}  // namespace

ExfatStick::ExfatStick(const QString& mountPoint, int mebibytes) : m_path(mountPoint) {
    if (!QFile::exists(QStringLiteral(KALVEX_EXFAT_STICK))) {
        m_reason = QStringLiteral("no stick script at " KALVEX_EXFAT_STICK);
        return;
    }
    QString errors;
    const int status =
        RunScript({QStringLiteral("up"), m_path, QString::number(mebibytes)}, errors);
    m_mounted = status == 0;
    m_broken = status != 0 && status != kCannotHere;
    if (!m_mounted) {
        m_reason = QStringLiteral("exfat-stick.sh up exited %1: %2").arg(status).arg(errors);
    }
}

ExfatStick::~ExfatStick() {
    if (m_mounted) {
        QString errors;
        RunScript({QStringLiteral("down"), m_path}, errors);
    }
}

bool ExfatStick::SetReadOnly(bool readOnly) const {
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    return ::mount(nullptr, QFile::encodeName(m_path).constData(), nullptr, flags, nullptr) == 0;
}

}  // namespace kalvex::test
