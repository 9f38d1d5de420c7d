#include "FileIo.h"

#include <cerrno>

namespace kalvex::platform {

bool WriteAll(int fd, QByteArrayView data, int& error) {
    for (qsizetype written = 0; written < data.size();) {
        const ssize_t put =
            ::write(fd, data.data() + written, static_cast<size_t>(data.size() - written));
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        written += put;
    }
    return true;
}

}  // namespace kalvex::platform
