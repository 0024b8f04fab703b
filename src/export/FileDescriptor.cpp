#include "export/FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace orv {

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Small pieces are gathered into a buffer of modest size and written with write(2) like any
// other bytes; a piece that fills the buffer goes out as it is.
bool writeAll(int fd, std::span<const std::span<const std::uint8_t>> pieces) {
    constexpr std::size_t kBufferBytes = std::size_t{64} << 10;
    std::vector<std::uint8_t> buffer;
    for (const std::span<const std::uint8_t> piece : pieces) {
        if (buffer.size() + piece.size() > kBufferBytes) {
            if (!writeAll(fd, buffer)) {
                return false;
            }
            buffer.clear();
        }
        if (piece.size() >= kBufferBytes) {
            if (!writeAll(fd, piece)) {
                return false;
            }
            continue;
        }
        if (buffer.capacity() == 0) {
            buffer.reserve(kBufferBytes);
        }
        buffer.insert(buffer.end(), piece.begin(), piece.end());
    }
    return writeAll(fd, buffer);
}

bool readAll(int fd, std::span<std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t got = ::read(fd, bytes.data(), bytes.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(got));
    }
    return true;
}

bool setBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int FileDescriptor::close() {
    return ::close(std::exchange(fd_, -1));
}

}  // namespace orv
