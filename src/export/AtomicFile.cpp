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

}  // namespace

void checkReplaceable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            fail(EISDIR, path);
        }
        if (::access(path.c_str(), W_OK) != 0) {
            fail(errno, path);
        }
        return;
    }
    if (errno != ENOENT) {
        fail(errno, path);
    }
    // The new file is made in that directory and renamed over the name.
    if (::access(directoryOf(path).c_str(), W_OK | X_OK) != 0) {
        fail(errno, path);
    }
}

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    checkReplaceable(path);
    std::string target = path;
    mode_t mode = 0666;  // narrowed by the umask, as for any new file
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            target = resolved;
        }
        mode = info.st_mode & 07777;
    }

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
