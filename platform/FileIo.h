#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <cerrno>
#include <iosfwd>
#include <utility>

#include <unistd.h>

namespace kalvex::platform {

// An open file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_fd, -1));
        }
        return *this;
    }
    ~Descriptor() { Reset(-1); }
    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Closes now, so that a write error that the file system reports only at close is seen.
    bool Close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    void Reset(int fd) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

    int m_fd;
};

// The outcome of a file operation: success, or the errno it failed with. It must be looked at;
// a caller that means to go on whatever happened says so with static_cast<void> and why.
class [[nodiscard]] Result {
public:
    static Result Ok() { return Result(0); }
    // `errnoValue` is never 0, which would read as success.
    static Result Failure(int errnoValue) {
        Q_ASSERT(errnoValue != 0);
        return Result(errnoValue);
    }
    // Fails with the errno that the failed call just left.
    static Result FromErrno() { return Failure(errno); }

    explicit operator bool() const { return m_error == 0; }
    int Error() const { return m_error; }  // 0 on success

private:
    explicit Result(int error) : m_error(error) {}

    int m_error;
};

// "ok", or the errno with its text, for test failures and logs.
std::ostream& operator<<(std::ostream& out, const Result& result);

// Writes all of `data`, going on after short writes and interruptions.
Result WriteAll(int fd, QByteArrayView data);

}  // namespace kalvex::platform
