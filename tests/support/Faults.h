#pragma once

#include <QString>

namespace kalvex::test {

// Makes a folder immutable for the life of the object: nothing can be created in it,
// renamed in it or removed from it, by root either. Given a file, the file cannot be
// written, renamed, replaced or removed. Supported() is false where the file system has no
// such flag; tests then skip.
class ImmutableFolder {
public:
    explicit ImmutableFolder(const QString& path);
    ~ImmutableFolder();
    ImmutableFolder(const ImmutableFolder&) = delete;
    ImmutableFolder& operator=(const ImmutableFolder&) = delete;

    bool Supported() const { return m_set; }

private:
    bool SetFlag(bool on) const;

    QString m_path;
    bool m_set = false;
};

using ImmutableFile = ImmutableFolder;

// Mounts a folder on itself read-only for the life of the object: every change below it
// fails, by root too. Mounted() is false where the machine does not allow it (not root);
// tests then skip.
class ReadOnlyMount {
public:
    explicit ReadOnlyMount(const QString& path);
    ~ReadOnlyMount();
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;

    bool Mounted() const { return m_mounted; }

private:
    QString m_path;
    bool m_mounted = false;
};

// A small file system of its own (tmpfs with a size limit) mounted on a folder for the life
// of the object, to run out of space for real. Mounted() is false where the machine does not
// allow it (not root, no tmpfs); tests then skip.
class SmallFileSystem {
public:
    SmallFileSystem(const QString& path, qint64 bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return m_mounted; }
    // Writes a filler file until the file system is full.
    void Fill() const;

private:
    QString m_path;
    bool m_mounted = false;
};

// A USB stick on a folder for the life of the object: an exFAT file system in an image
// file, mounted through FUSE (exfat-stick.sh beside this file). It folds letter case, keeps
// no permission bits, and has neither hard links nor exclusive or exchanging renames.
// Mounted() is false where the machine cannot mount one; Reason() then says why.
class ExfatStick {
public:
    explicit ExfatStick(const QString& path);
    ~ExfatStick();
    ExfatStick(const ExfatStick&) = delete;
    ExfatStick& operator=(const ExfatStick&) = delete;

    bool Mounted() const { return m_mounted; }
    const QString& Reason() const { return m_reason; }

private:
    QString m_path;
    bool m_mounted = false;
    QString m_reason;
};

}  // namespace kalvex::test
