#pragma once

#include "Folder.h"

#include <QByteArray>

namespace kalvex::platform {

// Replaces a file with `content` in one step: the content goes to a temporary file in the
// same folder, is flushed to the disk, and is renamed over the old file. A failure leaves the
// old file as it was and no temporary file behind. An existing file keeps its permission
// bits; one without any write permission is read-only and is not replaced (EACCES).
// Both return false with errno in `error`.

// For a document the user named: when `path` is a link, the file it leads to is replaced.
bool WriteFileAtomically(const QByteArray& path, const QByteArray& content, int& error);

// For a file of the program's own in `folder`: a link named `name` is replaced itself,
// never written through.
bool WriteFileAtomicallyIn(const Folder& folder, const QByteArray& name, const QByteArray& content,
                           int& error);

}  // namespace kalvex::platform
