#include "export/FileDescriptor.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace orv {

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    return writeAll(fd, std::span<const std::span<const std::uint8_t>>(&bytes, 1));
}

bool writeAll(int fd, std::span<const std::span<const std::uint8_t>> pieces) {
    constexpr std::size_t kMostPerCall = 1024;  // the least IOV_MAX Linux has had
    std::vector<iovec> left;
    for (const std::span<const std::uint8_t> piece : pieces) {
        if (!piece.empty()) {
            left.push_back({const_cast<std::uint8_t*>(piece.data()), piece.size()});
        }
    }
    std::size_t next = 0;
    while (next < left.size()) {
        const auto count = static_cast<int>(std::min(left.size() - next, kMostPerCall));
        const ssize_t written = ::writev(fd, left.data() + next, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        auto done = static_cast<std::size_t>(written);
        while (done > 0 && done >= left[next].iov_len) {
            done -= left[next].iov_len;
            ++next;
        }
        if (done > 0) {
            left[next].iov_base = static_cast<std::uint8_t*>(left[next].iov_base) + done;
            left[next].iov_len -= done;
        }
    }
    return true;
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
