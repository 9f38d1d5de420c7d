#pragma once

#include <QByteArrayView>

#include <utility>

#include <unistd.h>

namespace kalvex::platform {

// An open file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_fd, -1));
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
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

// Stores `value` (an errno) in `error` and returns false, for one-line failure paths.
inline bool Fail(int& error, int value) {
    error = value;
    return false;
}

// Writes all of `data`, going on after short writes and interruptions. False with errno in
// `error`.
bool WriteAll(int fd, QByteArrayView data, int& error);

}  // namespace kalvex::platform
