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

// Puts something under a fresh hidden name beside `target`: `make` tries a name, false with
// errno on failure. The name ends in `name`, empty on failure.
template <typename Make>
bool makeSibling(const std::string& target, std::string& name, Make make) {
    static thread_local std::mt19937 random{std::random_device{}()};
    const std::string directory = directoryOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = directory + "/.orv-" + std::to_string(random() % 100000000u) + ".tmp";
        if (make(name)) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    name.clear();
    return false;
}

// A file made in `directory` without a name, as O_TMPFILE makes it, or -1 with errno. It is
// named later through /proc/self/fd, which needs no privilege (AT_EMPTY_PATH would), so
// without /proc it is not made at all.
int openUnnamed(const std::string& directory, mode_t mode) {
    if (::access("/proc/self/fd", X_OK) != 0) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
}

// Some file systems cannot make unnamed files (EOPNOTSUPP), and a kernel that predates them
// takes O_TMPFILE for a directory to open (EISDIR) or refuses it (EINVAL).
bool unnamedFilesRefused(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

bool linkUnnamed(int fd, const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Names the complete unnamed file: `target` itself when that is new, else a sibling to rename
// over it (also when `target` was made meanwhile). The name ends in `named`.
bool nameUnnamed(int fd, const std::string& target, bool exists, std::string& named) {
    if (!exists) {
        if (linkUnnamed(fd, target)) {
            named = target;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return makeSibling(target, named,
                       [fd](const std::string& name) { return linkUnnamed(fd, name); });
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

}  // namespace

// The open does not block, so a FIFO that nobody reads fails at once (ENXIO) instead of
// waiting for a reader; the writes then block as usual.
void writeSpecialFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    writeSpecialFile(path, BytePieces(&bytes, 1));
}

void writeSpecialFile(const std::string& path, BytePieces pieces) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen() || !setBlocking(file.get()) || !writeAll(file.get(), pieces) ||
        file.close() != 0) {
        fail(errno, path);
    }
}

void checkReplaceable(const std::string& path) {
    destinationOf(path);
}

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    writeFileAtomically(path, BytePieces(&bytes, 1));
}

void writeFileAtomically(const std::string& path, BytePieces pieces) {
    const Destination destination = destinationOf(path);
    if (destination.exists && !S_ISREG(destination.info.st_mode)) {
        writeSpecialFile(path, pieces);
        return;
    }
    const std::string& target = destination.target;
    const mode_t mode = destination.exists ? destination.info.st_mode & 07777 : 0666;

    // The new file has no name until it is complete, so that a kill at any moment leaves
    // nothing behind. A new target then takes it under its own name at once. A link cannot
    // replace a name, though, so an existing target is replaced by a rename from a sibling
    // name, which only lives between those two calls. Where unnamed files cannot be made, the
    // sibling is made under its name from the start.
    std::string named;  // the name the new file has so far, removed on failure
    int fd = openUnnamed(directoryOf(target), mode);
    if (fd < 0 && unnamedFilesRefused(errno)) {
        makeSibling(target, named, [&](const std::string& name) {
            fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            return fd >= 0;
        });
    }
    if (fd < 0) {
        fail(errno, path);
    }
    FileDescriptor file(fd);
    const auto failWith = [&](int error) {
        if (!named.empty()) {
            ::unlink(named.c_str());
        }
        fail(error, path);
    };
    if (!writeAll(fd, pieces) || (destination.exists && ::fchmod(fd, mode) != 0) ||
        ::fsync(fd) != 0) {
        failWith(errno);
    }
    if (named.empty() && !nameUnnamed(fd, target, destination.exists, named)) {
        failWith(errno);
    }
    if (file.close() != 0) {
        failWith(errno);
    }
    if (named != target && ::rename(named.c_str(), target.c_str()) != 0) {
        failWith(errno);
    }
}

}  // namespace orv
