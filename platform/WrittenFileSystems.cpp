#include "WrittenFileSystems.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvex::platform {

void WrittenFileSystems::Note(const Folder& folder) {
    struct stat st;
    if (::fstat(folder.Descriptor(), &st) != 0) {
        return;
    }
    const auto known = std::find_if(m_noted.begin(), m_noted.end(), [&st](const Noted& noted) {
        return noted.device == st.st_dev;
    });
    if (known != m_noted.end()) {
        return;
    }
    Descriptor held(::fcntl(folder.Descriptor(), F_DUPFD_CLOEXEC, 0));
    if (held.IsOpen()) {
        m_noted.push_back({st.st_dev, std::move(held)});
    }
}

Result WrittenFileSystems::Flush() {
    Result flushed = Result::Ok();
    for (const Noted& noted : m_noted) {
        if (::syncfs(noted.folder.Get()) != 0) {
            flushed = Result::FromErrno();
        }
    }
    m_noted.clear();
    return flushed;
}

}  // namespace kalvex::platform
