#pragma once

#include "RecordingFrontend.h"
#include "Sandbox.h"
#include "TestEnvironment.h"

#include "platform/FileTime.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace kalvex::test {

// The time text of a time `seconds` after the base time, as the rows show it.
inline QString T(int seconds) {
    return platform::TimeTextFormat(QLocale::system())
        .Text(platform::PackFileTime(kBaseTime + seconds));
}
inline QString Header(const QString& name = QStringLiteral("Test"), int folders = 0) {
    return QStringLiteral("Synchronizing %1: (%2 folders)").arg(name).arg(folders);
}
inline QString Row(const QString& name, const QString& timeA, const QString& mark,
                   const QString& timeB, int image) {
    return QStringLiteral("  %1 | %2 | %3 | %4 | %5").arg(name, timeA, mark, timeB).arg(image);
}

// Two folders A and B in a sandbox, one checked profile "Test" over them, and a project
// named proj.kvx, whose log file in A is kvx_proj.log.
class SyncFixture : public testing::Test {
protected:
    SyncFixture() {
        box.Make("A", {});
        box.Make("B", {});
        frontend.profiles = {Profile{true, QStringLiteral("Test"), box.Path("A"), box.Path("B")}};
        Sandbox::EmptyTrash();
    }
    ~SyncFixture() override { Sandbox::EmptyTrash(); }

    // Writes the previous log file with these lines (CR LF after each).
    void WriteLog(const QStringList& lines) const {
        QFile file(box.Path("A/kvx_proj.log"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QString& line : lines) {
            file.write(line.toLocal8Bit() + "\r\n");
        }
    }
    // The lines of the log file after the first, which must name Directory B as its partner.
    QByteArray Log() const { return LogLines("kvx_proj.log", "B"); }
    // The log file's bytes, for a log that must not have been rewritten.
    QByteArray RawLog() const {
        QFile file(box.Path("A/kvx_proj.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }
    QByteArray LogLines(const QString& name, const QString& partner) const {
        QFile file(box.Path("A/" + name));
        if (!file.open(QIODevice::ReadOnly)) {
            return "(none)";
        }
        const QByteArray text = file.readAll();
        const QByteArray first = PartnerLine(partner);
        return text.startsWith(first) ? text.mid(first.size()) : "(partner?) " + text;
    }
    QByteArray PartnerLine(const QString& folder) const {
        return "\\partner=" + QFile::encodeName(QFileInfo(box.Path(folder)).canonicalFilePath()) +
               "/\r\n";
    }
    // Both sides without the log file.
    QStringList SideA() const { return Without(box.Describe("A")); }
    QStringList SideB() const { return box.Describe("B"); }

    static QStringList Without(QStringList lines) {
        // The log file, and those of profiles that share Directory A.
        static const QRegularExpression log(QStringLiteral("^kvx_proj(\\.[0-9a-f]{8})?\\.log="));
        lines.removeIf([](const QString& line) { return log.match(line).hasMatch(); });
        return lines;
    }

    Sandbox box;
    RecordingFrontend frontend;
};

}  // namespace kalvex::test
