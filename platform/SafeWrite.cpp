#include "SafeWrite.h"

#include "FileIo.h"
#include "FileSystemAbilities.h"
#include "TempName.h"

#include <cerrno>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

namespace {

// The file a link leads to, so that saving through a link keeps the link.
QByteArray ResolveLink(const QByteArray& path) {
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.constData(), nullptr),
                                                     &std::free);
    return real ? QByteArray(real.get()) : path;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(int folder, QByteArray name, Target target)
    : m_folder(folder), m_name(std::move(name)), m_target(target), m_temp(NewTempName()) {
    if (const Result replaceable = Replaceable(); !replaceable) {
        m_error = replaceable.Error();
        return;
    }
    m_file = Descriptor(::openat(m_folder, m_temp.constData(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    m_created = m_file.IsOpen();
    if (!m_created) {
        m_error = errno;
    }
    m_buffer.reserve(kBufferSize);
}

AtomicFileWriter::AtomicFileWriter(const Folder& folder, QByteArray name)
    : AtomicFileWriter(folder.Descriptor(), std::move(name), Target::OwnFile) {}

AtomicFileWriter::~AtomicFileWriter() {
    if (m_created && m_error != kCommitted) {
        m_file = Descriptor(-1);
        ::unlinkat(m_folder, m_temp.constData(), 0);
    }
}

Result AtomicFileWriter::Replaceable() const {
    // A link in place of the name is followed for the checks only when it names a document;
    // the rename always replaces the name itself.
    struct stat existing;
    const int flags = m_target == Target::Document ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::fstatat(m_folder, m_name.constData(), &existing, flags) != 0) {
        return Result::Ok();
    }
    if (S_ISDIR(existing.st_mode)) {
        return Result::Failure(EISDIR);
    }
    if (S_ISREG(existing.st_mode) && (existing.st_mode & 0222) == 0) {
        return Result::Failure(EACCES);
    }
    return Result::Ok();
}

void AtomicFileWriter::Append(QByteArrayView data) {
    if (m_error != 0) {
        return;
    }
    if (m_buffer.size() + data.size() > kBufferSize) {
        WriteBuffer();
    }
    if (data.size() >= kBufferSize) {
        if (m_error == 0) {
            m_error = WriteAll(m_file.Get(), data).Error();
        }
        return;
    }
    m_buffer.append(data);
}

void AtomicFileWriter::WriteBuffer() {
    if (m_error == 0 && !m_buffer.isEmpty()) {
        m_error = WriteAll(m_file.Get(), m_buffer).Error();
    }
    m_buffer.clear();
}

Result AtomicFileWriter::Commit() {
    WriteBuffer();
    // The existing file's permission bits are taken over, where the file system keeps them.
    struct stat existing;
    const int flags = m_target == Target::Document ? 0 : AT_SYMLINK_NOFOLLOW;
    if (m_error == 0) {
        m_error = Replaceable().Error();
    }
    if (m_error == 0 && ::fstatat(m_folder, m_name.constData(), &existing, flags) == 0 &&
        S_ISREG(existing.st_mode)) {
        static_cast<void>(ChangeMode(m_file.Get(), existing.st_mode & 07777));
    }
    if (m_error == 0 && ::fsync(m_file.Get()) != 0) {
        m_error = errno;
    }
    if (m_file.IsOpen() && !m_file.Close() && m_error == 0) {
        m_error = errno;
    }
    if (m_error == 0 &&
        ::renameat(m_folder, m_temp.constData(), m_folder, m_name.constData()) != 0) {
        m_error = errno;
    }
    if (m_error != 0) {
        if (m_created) {
            ::unlinkat(m_folder, m_temp.constData(), 0);
        }
        const Result failed = Result::Failure(m_error);
        m_error = kCommitted;
        return failed;
    }
    m_error = kCommitted;
    return Result::Ok();
}

Result RemoveOwnFile(const Folder& folder, const QByteArray& name) {
    return ::unlinkat(folder.Descriptor(), name.constData(), 0) == 0 ? Result::Ok()
                                                                     : Result::FromErrno();
}

Result WriteFileAtomically(const QByteArray& path, const QByteArray& content) {
    const QByteArray target = ResolveLink(path);
    if (target.isEmpty() || target.endsWith('/')) {
        return Result::Failure(target.isEmpty() ? ENOENT : EISDIR);
    }
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folderPath = slash < 0 ? QByteArray(".") : target.left(slash + 1);
    const Folder folder = Folder::Open(folderPath);
    if (!folder.IsOpen()) {
        return Result::Failure(folder.Error());
    }
    AtomicFileWriter writer(folder.Descriptor(), target.mid(slash + 1),
                            AtomicFileWriter::Target::Document);
    writer.Append(content);
    return writer.Commit();
}

Result WriteFileAtomicallyIn(const Folder& folder, const QByteArray& name,
                             const QByteArray& content) {
    AtomicFileWriter writer(folder, name);
    writer.Append(content);
    return writer.Commit();
}

}  // namespace kalvex::platform
