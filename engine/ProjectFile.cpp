#include "ProjectFile.h"

#include "platform/IniFile.h"
#include "platform/SafeWrite.h"
#include "platform/TextLines.h"

#include <QFile>

namespace kalvex {

namespace {

// A project of this size would be a list nobody could use; larger files are not projects.
constexpr qint64 kMaxProjectFileSize = qint64(64) << 20;
// Rows a file may declare beyond the sections it holds (missing sections read as empty
// rows); a count far beyond that would only fill the memory.
constexpr int kMaxUndescribedRows = 10000;

QString ReadError(const QString& path, const QString& reason) {
    return QStringLiteral("Couldn't open the project file \"%1\":\n%2").arg(path, reason);
}

QString WriteError(const QString& path, const QString& reason) {
    return QStringLiteral("Couldn't save the project file \"%1\":\n%2").arg(path, reason);
}

QByteArray ItemSection(int index) {
    return "Item" + QByteArray::number(index);
}

bool HoldsLineEnd(const QString& text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

}  // namespace

bool ReadProjectFile(const QString& path, QList<Profile>& profiles, QString& error) {
    QByteArray content;
    const platform::Result read =
        platform::ReadWholeFile(QFile::encodeName(path), kMaxProjectFileSize, content);
    if (!read) {
        error = ReadError(path, read.Error() == EFBIG ? QStringLiteral("The file is too large.")
                                                      : qt_error_string(read.Error()));
        return false;
    }
    return ParseProjectText(content, path, profiles, error);
}

bool ParseProjectText(const QByteArray& content, const QString& path, QList<Profile>& profiles,
                      QString& error) {
    if (content.contains('\0')) {
        error = ReadError(path, QStringLiteral("The file is not a text file."));
        return false;
    }
    const platform::IniReader ini(content);
    const int count = ini.ReadInteger("General", "NumOfItems", 0);
    if (count > ini.SectionCount() + kMaxUndescribedRows) {
        error = ReadError(path, QStringLiteral("It claims %1 profiles but describes only %2.")
                                    .arg(count)
                                    .arg(std::max(ini.SectionCount() - 1, 0)));
        return false;
    }
    QList<Profile> read;
    read.reserve(std::max(count, 0));
    for (int i = 0; i < count; ++i) {
        const QByteArray section = ItemSection(i);
        Profile profile;
        profile.Checked = ini.ReadBool(section, "Checked", true);
        profile.Name = ini.ReadString(section, "Name", QString());
        profile.DirA = ini.ReadString(section, "DirA", QString());
        profile.DirB = ini.ReadString(section, "DirB", QString());
        profile.MayBeCut = ini.MayBeCut(section, "Name") || ini.MayBeCut(section, "DirA") ||
                           ini.MayBeCut(section, "DirB");
        read.append(std::move(profile));
    }
    profiles = std::move(read);
    return true;
}

std::optional<QByteArray> ProjectText(const QList<Profile>& profiles, QString& refusal) {
    platform::IniWriter ini;
    ini.BeginSection("General");
    ini.WriteInteger("NumOfItems", static_cast<int>(profiles.size()));
    for (int i = 0; i < profiles.size(); ++i) {
        const Profile& profile = profiles[i];
        // A line end would start a new line in the file and change what it says.
        if (HoldsLineEnd(profile.Name) || HoldsLineEnd(profile.DirA) ||
            HoldsLineEnd(profile.DirB)) {
            refusal = QStringLiteral(
                          "The profile \"%1\" holds a line break, which a project "
                          "file cannot store.")
                          .arg(profile.Name.simplified());
            return std::nullopt;
        }
        ini.BeginSection(ItemSection(i));
        ini.WriteBool("Checked", profile.Checked);
        ini.WriteString("Name", profile.Name);
        ini.WriteString("DirA", profile.DirA);
        ini.WriteString("DirB", profile.DirB);
    }
    return ini.Text();
}

bool WriteProjectFile(const QString& path, const QList<Profile>& profiles, QString& error) {
    QString refusal;
    const std::optional<QByteArray> text = ProjectText(profiles, refusal);
    if (!text) {
        error = WriteError(path, refusal);
        return false;
    }
    const platform::Result written = platform::WriteFileAtomically(QFile::encodeName(path), *text);
    if (!written) {
        error = WriteError(path, written.Error() == EACCES
                                     ? QStringLiteral("The file is read-only or access is denied.")
                                     : qt_error_string(written.Error()));
        return false;
    }
    return true;
}

}  // namespace kalvex
