#include "cli/OutputCheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "document/DocumentError.h"

namespace orv::cli {

namespace {

[[noreturn]] void refuse(int error, const std::string& path) {
    throw FileError(fileErrorCauseFromErrno(error), path);
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void checkOutputWritable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            refuse(EISDIR, path);
        }
        if (::access(path.c_str(), W_OK) != 0) {
            refuse(errno, path);
        }
        return;
    }
    if (errno != ENOENT) {
        refuse(errno, path);
    }
    // The picture is written to a new file in that directory and renamed over the name.
    if (::access(directoryOf(path).c_str(), W_OK | X_OK) != 0) {
        refuse(errno, path);
    }
}

}  // namespace orv::cli
