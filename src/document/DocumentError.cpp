#include "document/DocumentError.h"

#include <cerrno>
#include <string_view>

namespace orv {

namespace {

constexpr std::string_view kFileErrorTexts[] = {
    "An unknown error occurred while accessing %1.",
    "%1 was not found.",
    "%1 contains an invalid path.",
    "%1 could not be opened because there are too many open files.",
    "Access to %1 was denied.",
    "An invalid file handle was associated with %1.",
    "%1 could not be removed because it is the current directory.",
    "%1 could not be created because the directory is full.",
    "Seek failed on %1",
    "A hardware I/O error was reported while accessing %1.",
    "A sharing violation occurred while accessing %1.",
    "A locking violation occurred while accessing %1.",
    "Disk full while accessing %1.",
    "An attempt was made to access %1 past its end.",
};

const char* archiveErrorText(ArchiveErrorCause cause) {
    return isFormatCause(cause) ? kUnexpectedFileFormat : "Failed to read or write document data.";
}

}  // namespace

FileError::FileError(FileErrorCause cause, std::string path)
    : std::runtime_error(fileErrorMessage(cause, path)), cause_(cause), path_(std::move(path)) {}

ArchiveError::ArchiveError(ArchiveErrorCause cause)
    : std::runtime_error(archiveErrorText(cause)), cause_(cause) {}

std::string fileErrorMessage(FileErrorCause cause, const std::string& path) {
    const auto index = static_cast<int>(cause) - 1;
    const bool known = index >= 0 && index < static_cast<int>(std::size(kFileErrorTexts));
    std::string_view text = kFileErrorTexts[known ? index : 0];
    std::string message;
    const auto at = text.find("%1");
    message.append(text.substr(0, at));
    if (at != std::string_view::npos) {
        message.append(path);
        message.append(text.substr(at + 2));
    }
    return message;
}

FileErrorCause fileErrorCauseFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return FileErrorCause::fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
            return FileErrorCause::badPath;
        case EMFILE:
        case ENFILE:
            return FileErrorCause::tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return FileErrorCause::accessDenied;
        case EBADF:
            return FileErrorCause::invalidFile;
        case ESPIPE:
            return FileErrorCause::badSeek;
        case EIO:
            return FileErrorCause::hardIO;
        case ETXTBSY:
        case EBUSY:
            return FileErrorCause::sharingViolation;
        case ENOLCK:
        case EDEADLK:
            return FileErrorCause::lockViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileErrorCause::diskFull;
        default:
            return FileErrorCause::generic;
    }
}

bool isFormatCause(ArchiveErrorCause cause) {
    switch (cause) {
        case ArchiveErrorCause::endOfFile:
        case ArchiveErrorCause::badIndex:
        case ArchiveErrorCause::badClass:
        case ArchiveErrorCause::badSchema:
            return true;
        default:
            return false;
    }
}

std::string failureMessage(const std::exception& failure, const std::string& path,
                           const char* defaultMessage) {
    if (const auto* fileError = dynamic_cast<const FileError*>(&failure)) {
        return fileErrorMessage(fileError->cause(),
                                fileError->path().empty() ? path : fileError->path());
    }
    if (const auto* archiveError = dynamic_cast<const ArchiveError*>(&failure)) {
        if (isFormatCause(archiveError->cause())) {
            return kUnexpectedFileFormat;
        }
    }
    return defaultMessage;
}

}  // namespace orv
