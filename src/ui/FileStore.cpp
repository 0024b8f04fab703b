#include "ui/FileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "document/DocumentError.h"
#include "export/AtomicFile.h"
#include "export/FileDescriptor.h"

namespace orv::ui {

namespace {

[[noreturn]] void fail(int error, const QString& path) {
    throw orv::FileError(orv::fileErrorCauseFromErrno(error),
                         QFile::encodeName(path).toStdString());
}

bool anyoneMayWrite(const struct stat& info) {
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Overwrites an existing regular file where it stands. The bytes that get overwritten are kept
// first, so a write that stops part-way puts them back: overwriting blocks the file already
// owns needs no new space, so the restoration can succeed where the write failed.
void overwriteInPlace(const QString& path, std::span<const std::uint8_t> bytes, off_t oldSize) {
    orv::FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC));
    if (!fd.isOpen()) {
        fail(errno, path);
    }
    const std::size_t newSize = bytes.size();
    std::vector<std::uint8_t> overwritten(std::min(newSize, static_cast<std::size_t>(oldSize)));
    if (!orv::readAll(fd.get(), overwritten) || ::lseek(fd.get(), 0, SEEK_SET) != 0) {
        fail(errno, path);
    }
    if (!orv::writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        const int error = errno;
        if (::lseek(fd.get(), 0, SEEK_SET) == 0) {
            orv::writeAll(fd.get(), overwritten);
        }
        [[maybe_unused]] const int restored = ::ftruncate(fd.get(), oldSize);
        ::fsync(fd.get());
        fail(error, path);
    }
    if (::ftruncate(fd.get(), static_cast<off_t>(newSize)) != 0 || ::fsync(fd.get()) != 0 ||
        fd.close() != 0) {
        fail(errno, path);
    }
}

}  // namespace

bool isReadOnlyFile(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return true;
    }
    return !anyoneMayWrite(info) || ::access(QFile::encodeName(path).constData(), W_OK) != 0;
}

void storeFile(const QString& path, std::span<const std::uint8_t> bytes) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    const bool exists = ::stat(name.constData(), &info) == 0;
    if (!exists && errno != ENOENT) {
        fail(errno, path);
    }
    if (exists) {
        if (S_ISDIR(info.st_mode)) {
            fail(EISDIR, path);
        }
        if (!anyoneMayWrite(info)) {
            fail(EACCES, path);
        }
        if (::access(name.constData(), W_OK) != 0) {
            fail(errno, path);
        }
        if (!S_ISREG(info.st_mode)) {
            orv::writeSpecialFile(name.toStdString(), bytes);
            return;
        }
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        const int error = errno;
        // No room for a temporary file beside a file we may write: write the file itself.
        if (exists && (error == EACCES || error == EPERM)) {
            overwriteInPlace(path, bytes, info.st_size);
            return;
        }
        fail(error, path);
    }
    // Written straight to the descriptor, so that a failure is seen with its own errno; an
    // unfinished QSaveFile removes its temporary file when it goes.
    if (!orv::writeAll(file.handle(), bytes) || ::fsync(file.handle()) != 0) {
        const int error = errno;
        file.cancelWriting();
        fail(error, path);
    }
    errno = 0;
    if (!file.commit()) {
        fail(errno != 0 ? errno : EIO, path);
    }
}

}  // namespace orv::ui
