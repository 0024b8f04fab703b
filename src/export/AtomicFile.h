#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace orv {

// Bytes given in pieces, to be written one after another.
using BytePieces = std::span<const std::span<const std::uint8_t>>;

// Writes `bytes` to `path` so that the file is either left as it was or holds all of them:
// the bytes go to a new file beside the target, which replaces it only once it is complete
// and flushed. The new file has no name until then, so that even a killed program leaves
// nothing behind. An existing file keeps its permissions. A symbolic link is written through and
// kept, also one that leads to no file yet: that file is made.
// An existing target that is not a regular file (a device, a FIFO) is written as it is, never
// replaced; a FIFO that nobody reads is a failure, not a wait.
// Throws FileError (naming `path`) when the target cannot be written or replaced; no
// temporary file is left behind.
void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);
void writeFileAtomically(const std::string& path, BytePieces pieces);

// Writes `bytes` into an existing file that is not a regular one (a device, a FIFO) as it is:
// such a file cannot be swapped for a new one, nor would its reader see that. A FIFO that
// nobody reads fails at once instead of waiting. Throws FileError naming `path`.
void writeSpecialFile(const std::string& path, std::span<const std::uint8_t> bytes);
void writeSpecialFile(const std::string& path, BytePieces pieces);

// Throws the FileError writeFileAtomically would raise for a target it cannot write (a
// directory, a file that may not be written, a missing or unwritable directory), creating
// nothing: lets a caller refuse an output before doing long work for it.
void checkReplaceable(const std::string& path);

}  // namespace orv
