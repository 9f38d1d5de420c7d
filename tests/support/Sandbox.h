#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <ctime>
#include <vector>

namespace kalvex::test {

// 2024-03-05 10:20:30 UTC: a time whose seconds are even, so it packs exactly.
inline constexpr std::time_t kBaseTime = 1709634030;

// One entry of a tree description. A path ending in '/' is a folder; a link target makes a
// symbolic link; otherwise a file with `content`. Times are seconds after kBaseTime.
struct Node {
    Node(QString path, QByteArray content = {}, int seconds = 0, QByteArray linkTarget = {})
        : path(std::move(path)),
          content(std::move(content)),
          seconds(seconds),
          linkTarget(std::move(linkTarget)) {}

    QString path;
    QByteArray content;
    int seconds;
    QByteArray linkTarget;
};

// A temporary folder inside the test program's private home (so the trash is on the same
// file system), removed at the end of the test.
class Sandbox {
public:
    Sandbox();

    QString Path(const QString& relative = QString()) const;
    QByteArray NativePath(const QString& relative = QString()) const;

    // Builds the nodes below `root` (made when missing), parents before children.
    void Make(const QString& root, const std::vector<Node>& nodes) const;

    // The tree below `root`, sorted: "dir/", "file=content@seconds", "link->target@seconds".
    QStringList Describe(const QString& root) const;

    // The temporary files and folders of safe writes anywhere below `root`.
    QStringList Leftovers(const QString& root = QString()) const;

    // What the private trash holds, described the same way.
    static QStringList TrashContent();
    static void EmptyTrash();

private:
    QTemporaryDir m_dir;
};

// Every path below `root` (hidden entries included), relative to it, with its mode, size and
// modification time in nanoseconds, the change time too where asked, and the bytes of every
// file; sorted. Two snapshots are equal only when nothing below was written.
enum class Times { Modification, ModificationAndChange };
QStringList Snapshot(const QString& root, Times times);

// Sets the last-write time of a path (a link itself, not what it leads to).
void SetTime(const QString& path, int secondsAfterBase);

}  // namespace kalvex::test
