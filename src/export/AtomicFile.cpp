#include "export/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

#include "document/DocumentError.h"
#include "export/FileDescriptor.h"

namespace orv {

namespace {

[[noreturn]] void fail(int error, const std::string& path) {
    throw FileError(fileErrorCauseFromErrno(error), path);
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a fresh file beside `target` and returns its descriptor, its name in `name`.
int createSibling(const std::string& target, mode_t mode, std::string& name) {
    static thread_local std::mt19937 random{std::random_device{}()};
    const std::string directory = directoryOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = directory + "/.orv-" + std::to_string(random() % 100000000u) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Where a chain of symbolic links ends that leads to no file: the name to make the file
// under, so that the links stay as they are. `path` itself when it is no link.
std::string endOfLinks(const std::string& path) {
    std::string name = path;
    for (int hop = 0; hop < 40; ++hop) {  // the system's own limit
        char link[PATH_MAX];
        const ssize_t length = ::readlink(name.c_str(), link, sizeof link);
        if (length < 0) {
            return name;
        }
        if (static_cast<std::size_t>(length) == sizeof link) {
            fail(ENAMETOOLONG, path);
        }
        const std::string next(link, static_cast<std::size_t>(length));
        name = next.front() == '/' ? next : directoryOf(name) + "/" + next;
    }
    fail(ELOOP, path);
}

// Where a write to `path` goes. Throws the FileError of a target that cannot be written.
struct Destination {
    std::string target;  // the name to create or replace
    bool exists = false;
    struct stat info {};
};

Destination destinationOf(const std::string& path) {
    Destination destination{.target = path};
    if (::stat(path.c_str(), &destination.info) == 0) {
        if (S_ISDIR(destination.info.st_mode)) {
            fail(EISDIR, path);
        }
        if (::access(path.c_str(), W_OK) != 0) {
            fail(errno, path);
        }
        destination.exists = true;
        // A symbolic link stays: the file it leads to is replaced.
        char resolved[PATH_MAX];
        if (S_ISREG(destination.info.st_mode) && ::realpath(path.c_str(), resolved) != nullptr) {
            destination.target = resolved;
        }
        return destination;
    }
    if (errno != ENOENT) {
        fail(errno, path);
    }
    destination.target = endOfLinks(path);
    // The new file is made in that directory and renamed over the name.
    if (::access(directoryOf(destination.target).c_str(), W_OK | X_OK) != 0) {
        fail(errno, path);
    }
    return destination;
}

// A device, a FIFO or a socket cannot be swapped for a new file, nor would its reader see
// one: the bytes go to it as it is. The open does not block, so a FIFO that nobody reads fails
// at once (ENXIO) instead of waiting for a reader; the writes then block as usual.
void writeInPlace(const std::string& path, std::span<const std::uint8_t> bytes) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen() || !setBlocking(file.get()) || !writeAll(file.get(), bytes) ||
        file.close() != 0) {
        fail(errno, path);
    }
}

}  // namespace

void checkReplaceable(const std::string& path) {
    destinationOf(path);
}

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    const Destination destination = destinationOf(path);
    if (destination.exists && !S_ISREG(destination.info.st_mode)) {
        writeInPlace(path, bytes);
        return;
    }
    const std::string& target = destination.target;
    const bool exists = destination.exists;
    const mode_t mode = exists ? destination.info.st_mode & 07777 : 0666;  // 0666: as umask says

    std::string temporary;
    const int fd = createSibling(target, mode, temporary);
    if (fd < 0) {
        fail(errno, path);
    }
    const bool complete =
        writeAll(fd, bytes) && (!exists || ::fchmod(fd, mode) == 0) && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !complete) {
        const int closeError = complete ? errno : error;
        ::unlink(temporary.c_str());
        fail(closeError, path);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.c_str());
        fail(renameError, path);
    }
}

}  // namespace orv
