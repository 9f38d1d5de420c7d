#pragma once

#include "FileIo.h"

#include <sys/stat.h>

namespace kalvex::platform {

// Copies the content of the regular file `in` (whose status is `source`) into the empty file
// `out`. A file with holes keeps them: only its data is copied, found with SEEK_DATA and
// SEEK_HOLE. Dense files take the kernel's copy_file_range where it can. A source that gets
// shorter while it is copied ends the copy early; the caller's version check notices it.
Result CopyFileData(int in, int out, const struct stat& source);

}  // namespace kalvex::platform
