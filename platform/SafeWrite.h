#pragma once

#include "FileIo.h"
#include "Folder.h"

#include <QByteArray>
#include <QByteArrayView>

namespace kalvex::platform {

// A file of the program's own in `folder`, written piece by piece to a temporary file beside
// it and put in place of `name` in one step by Commit, by the rules below. Until then the old
// file stays as it was; a writer that goes uncommitted, or whose writes failed, removes its
// temporary file. The first failure is kept and reported by Commit.
class AtomicFileWriter {
public:
    AtomicFileWriter(const Folder& folder, QByteArray name);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // The temporary file's name, which nothing else may take for a leftover while it is written.
    const QByteArray& TempName() const { return m_temp; }
    void Append(QByteArrayView data);
    // Flushes the file to the disk and renames it over `name`.
    Result Commit();

private:
    friend Result WriteFileAtomically(const QByteArray&, const QByteArray&);
    // What `name` stands for: a file of the program's own, a link there being replaced itself,
    // or a document the user named, whose link is followed for the checks.
    enum class Target { OwnFile, Document };
    AtomicFileWriter(int folder, QByteArray name, Target target);

    Result Replaceable() const;
    void WriteBuffer();

    static constexpr qsizetype kBufferSize = qsizetype(1) << 20;
    static constexpr int kCommitted = -1;  // m_error once Commit has run

    const int m_folder;
    const QByteArray m_name;
    const Target m_target;
    const QByteArray m_temp;
    Descriptor m_file{-1};
    bool m_created = false;  // the temporary file was made, so it is the writer's to remove
    QByteArray m_buffer;
    int m_error = 0;
};

// Replaces a file with `content` in one step: the content goes to a temporary file in the
// same folder, is flushed to the disk, and is renamed over the old file. A failure leaves the
// old file as it was and no temporary file behind. An existing file keeps its permission
// bits; one without any write permission is read-only and is not replaced (EACCES).

// For a document the user named: when `path` is a link, the file it leads to is replaced.
Result WriteFileAtomically(const QByteArray& path, const QByteArray& content);

// Removes the file `name` of `folder`, a file of the program's own, or a link there itself.
Result RemoveOwnFile(const Folder& folder, const QByteArray& name);

// For a file of the program's own in `folder`: a link named `name` is replaced itself,
// never written through.
Result WriteFileAtomicallyIn(const Folder& folder, const QByteArray& name,
                             const QByteArray& content);

}  // namespace kalvex::platform
