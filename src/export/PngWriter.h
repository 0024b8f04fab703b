#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/GreyPicture.h"
#include "render/MonochromePicture.h"

namespace orv {

// A picture as a PNG file through libpng: greyscale, not interlaced, no ancillary chunks. A
// MonochromePicture becomes a one-bit image whose rows are the picture's own bytes (PNG packs
// pixels most significant bit first, 0 black, 1 white, as the picture does); a GreyPicture an
// eight-bit one. Throws std::bad_alloc when memory runs out and std::runtime_error with
// libpng's message for any other failure of the encoder.
std::vector<std::uint8_t> encodePng(const MonochromePicture& picture);
std::vector<std::uint8_t> encodePng(const GreyPicture& picture);

// Writes encodePng(picture) to `path`, replacing it only when the whole file is written.
// Throws FileError on failure, leaving an existing file untouched.
void writePng(const MonochromePicture& picture, const std::string& path);
void writePng(const GreyPicture& picture, const std::string& path);

}  // namespace orv
