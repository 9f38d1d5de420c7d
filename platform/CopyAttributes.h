#pragma once

#include <QByteArray>

namespace kalvex::platform {

// What a copy keeps of its source besides the content and the times, wherever the target's
// file system can hold it: the owner and group (when running as root), the extended
// attributes of the `user.` namespace, and the permission bits `permissions`. None of them
// fails a copy: FAT refuses bits it cannot store, exFAT and most shares keep no owners and no
// attributes, and a copy whose content and time were written is whole.
// `in` and `out` are open files or folders: the source and the entry just written.
void KeepAttributes(int in, int out, unsigned permissions);

// The same for a link just written as `target` in `toDir`, a copy of `name` in `fromDir`: only
// the owner and group apply (links have no permission bits, and no `user.` attributes).
void KeepLinkOwner(int fromDir, const QByteArray& name, int toDir, const QByteArray& target);

}  // namespace kalvex::platform
