#pragma once

#include <QString>
#include <cstdint>
#include <span>

namespace orv::ui {

// Replaces the contents of the file at `path` by `bytes` so that no failure leaves a truncated
// or half-written file:
// - a regular file (or a new one) is written to a temporary file beside it that replaces it
//   only once complete and flushed (QSaveFile); the old file keeps its permissions, and a
//   symbolic link is written through, the link itself kept;
// - where no temporary file can be made beside an existing writable file (its folder may not be
//   written), the file is overwritten in place, and restored to its old contents if the write
//   fails part-way;
// - a file that is neither regular nor a folder (a device, a pipe) is written in place, never
//   replaced.
// A folder, and a file without write permission (also for the superuser: a read-only file is
// never replaced), are refused. Failures throw orv::FileError naming `path`, with the cause
// taken from the system's error.
void storeFile(const QString& path, std::span<const std::uint8_t> bytes);

// A file whose permission bits give no one the right to write it, or that this process may not
// write, or that cannot be examined at all: saving over it needs a new name.
bool isReadOnlyFile(const QString& path);

}  // namespace orv::ui
