#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/Archive.h"
#include "document/ParameterBlock.h"

namespace orv {

// The .orv file is the raw parameter block, little-endian, 324 bytes, no header:
//
//   offset  size  content
//        0    24  enabled[0..5], int32 each
//       24   288  the 36 coefficients as doubles, map 0 a..f, map 1 a..f, ..., map 5 a..f
//      312     4  sizeIndex
//      316     4  autoIterations
//      320     4  iterationCount
//
// Anything after byte 323 is never read.
inline constexpr std::size_t kParameterFileSize = 324;

void storeParameters(const ParameterBlock& block, Archive& archive);

// Reads the fields in file order, each straight into `block`. A short file leaves in `block`
// whatever it held up to the first missing integer and raises ArchiveError(endOfFile). Values
// are taken unchecked except sizeIndex: one outside 0..5 names no picture size and is refused
// with ArchiveError(badSchema) once the block has been read.
void loadParameters(ParameterBlock& block, Archive& archive);

// The first kParameterFileSize bytes of the file at `path` (fewer if the file is shorter).
// Throws FileError when the file cannot be opened or read.
std::vector<std::uint8_t> readParameterFileBytes(const std::string& path);

// The first `limit` bytes of the file at `path` (fewer if the file is shorter), read as
// readParameterFileBytes reads them. Throws FileError.
std::vector<std::uint8_t> readFileStart(const std::string& path, std::size_t limit);

}  // namespace orv
