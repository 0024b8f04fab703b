#pragma once

#include <cstdint>
#include <span>

namespace orv {

// Whole transfers on a file descriptor, from its current position, retried where the system
// stops short or is interrupted. False with errno set on failure: a write that makes no
// progress counts as a full disk, a read that meets the end as an I/O error.
bool writeAll(int fd, std::span<const std::uint8_t> bytes);
// The pieces one after another, written in chunks of up to 64 KiB.
bool writeAll(int fd, std::span<const std::span<const std::uint8_t>> pieces);
bool readAll(int fd, std::span<std::uint8_t> bytes);

// Clears O_NONBLOCK, for a descriptor opened without blocking only so that the open itself
// could not wait. False with errno set on failure.
bool setBlocking(int fd);

// Owns a descriptor; closes it when it goes unless close() did.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Closing may report a failed write-back: it is part of writing. 0, or -1 with errno.
    int close();

private:
    int fd_;
};

}  // namespace orv
