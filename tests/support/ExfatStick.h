#pragma once

#include <QString>

namespace kalvex::test {

// A USB stick for the life of the object: an exFAT file system through FUSE, made and mounted
// on `mountPoint` by the shared exfat-stick.sh script, and removed at the end. exFAT folds
// letter case, keeps no permission bits, owners or extended attributes, has no links and no
// RENAME_NOREPLACE. Where the machine cannot mount one (the script exits 77, or is missing),
// Mounted() is false and Reason() says why: tests then skip. Broken() tells a script that
// failed otherwise: tests then fail.
class ExfatStick {
public:
    ExfatStick(const QString& mountPoint, int mebibytes);
    ~ExfatStick();
    ExfatStick(const ExfatStick&) = delete;
    ExfatStick& operator=(const ExfatStick&) = delete;

    bool Mounted() const { return m_mounted; }
    bool Broken() const { return m_broken; }
    const QString& Reason() const { return m_reason; }
    const QString& Path() const { return m_path; }

    // Mounts it again read-only, or writable again; false when that fails.
    bool SetReadOnly(bool readOnly) const;

private:
    QString m_path;
    bool m_mounted = false;
    bool m_broken = false;
    QString m_reason;
};

}  // namespace kalvex::test
