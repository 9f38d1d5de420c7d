#pragma once

#include <QString>

namespace kalvex::test {

// Makes a folder immutable for the life of the object: nothing can be created in it,
// renamed in it or removed from it, by root either. Supported() is false where the file
// system has no such flag; tests then skip.
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

}  // namespace kalvex::test
