#pragma once

#include <stdexcept>
#include <string>

namespace orv {

// Why a file operation failed. The numbers are those the messages are keyed by.
enum class FileErrorCause {
    generic = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
};

// Why reading or writing the fields of a document failed.
enum class ArchiveErrorCause {
    generic = 1,
    readOnly = 2,
    endOfFile = 3,
    writeOnly = 4,
    badIndex = 5,
    badClass = 6,
    badSchema = 7,
};

// A file could not be opened, read, written or replaced. `path` is the file as it was named.
class FileError : public std::runtime_error {
public:
    FileError(FileErrorCause cause, std::string path);

    FileErrorCause cause() const { return cause_; }
    const std::string& path() const { return path_; }

private:
    FileErrorCause cause_;
    std::string path_;
};

// The bytes of a document do not make a parameter block.
class ArchiveError : public std::runtime_error {
public:
    explicit ArchiveError(ArchiveErrorCause cause);

    ArchiveErrorCause cause() const { return cause_; }

private:
    ArchiveErrorCause cause_;
};

// The message of a file error cause, with %1 replaced by `path`:
// "%1 was not found.", "Access to %1 was denied.", ...
std::string fileErrorMessage(FileErrorCause cause, const std::string& path);

// The errno value of a failed system call as a file error cause.
FileErrorCause fileErrorCauseFromErrno(int error);

// Archive causes that mean "this is not one of our files".
bool isFormatCause(ArchiveErrorCause cause);

inline constexpr const char* kUnexpectedFileFormat = "Unexpected file format.";
inline constexpr const char* kFailedToOpenDocument = "Failed to open document.";
inline constexpr const char* kFailedToSaveDocument = "Failed to save document.";

// How the operation that catches a failure reports it: the file error's own text, "Unexpected
// file format." for a malformed document, otherwise `defaultMessage` (one of the two above).
// `path` names the file when the failure itself does not.
std::string failureMessage(const std::exception& failure, const std::string& path,
                           const char* defaultMessage);

}  // namespace orv
