#include "TestEnvironment.h"

#include <QDir>

#include <cstdlib>
#include <ctime>
#include <stdexcept>

namespace kalvex::test {

namespace {
QString g_home;  // the test program's private home, set once by main
}

PrivateHome::PrivateHome() {
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/kalvex-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a private home folder");
    }
    m_path = pattern;
    g_home = QString::fromLocal8Bit(m_path);
    ::setenv("HOME", m_path.constData(), 1);
    ::setenv("XDG_DATA_HOME", (m_path + "/.local/share").constData(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_path + "/.config").constData(), 1);
    ::setenv("XDG_CACHE_HOME", (m_path + "/.cache").constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", (m_path + "/.runtime").constData(), 1);
    QDir().mkpath(QString::fromLocal8Bit(m_path + "/.runtime"));
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    ::setenv("LC_ALL", "C", 1);
    ::setenv("LANG", "C", 1);
}

PrivateHome::~PrivateHome() {
    QDir(QString::fromLocal8Bit(m_path)).removeRecursively();
}

QString PrivateHome::Path() {
    return g_home;
}

}  // namespace kalvex::test
