#pragma once

#include <QByteArray>
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
// of the object, to run out of space for real. `options` adds tmpfs mount options (such as
// "mode=1777"). Mounted() is false where the machine does not allow it (not root, no tmpfs);
// tests then skip.
class SmallFileSystem {
public:
    SmallFileSystem(const QString& path, qint64 bytes, const QByteArray& options = {});
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return m_mounted; }
    // Writes a filler file until the file system is full.
    void Fill() const;
    // Mounts it again, read-only; false when that fails.
    bool MakeReadOnly() const;

private:
    QString m_path;
    bool m_mounted = false;
};

// Writes a file named "filler" into `folder` until its file system is full.
void FillUp(const QString& folder);

}  // namespace kalvex::test
