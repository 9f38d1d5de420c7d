#include "FileIo.h"

#include <cerrno>
#include <cstring>
#include <ostream>

namespace kalvex::platform {

std::ostream& operator<<(std::ostream& out, const Result& result) {
    if (result) {
        return out << "ok";
    }
    return out << "errno " << result.Error() << " (" << std::strerror(result.Error()) << ")";
}

Result WriteAll(int fd, QByteArrayView data) {
    for (qsizetype written = 0; written < data.size();) {
        const ssize_t put =
            ::write(fd, data.data() + written, static_cast<size_t>(data.size() - written));
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Result::FromErrno();
        }
        written += put;
    }
    return Result::Ok();
}

}  // namespace kalvex::platform
