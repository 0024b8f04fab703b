#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/MonochromePicture.h"

namespace orv {

// A picture as a one-bit BMP file (version 3 info header, black-and-white palette):
//
//   offset  size  field
//        0     2  "BM"
//        2     4  file size, 62 + S where S = N*N/8
//        6     4  reserved, 0
//       10     4  offset of the pixels, 62
//       14     4  info header size, 40
//       18     8  width N, height N (positive: bottom row first)
//       26     4  planes 1, bits per pixel 1
//       30     4  compression 0
//       34     4  image size S
//       38    16  resolutions and colour counts, 0
//       54     8  palette: 00 00 00 00 (black), FF FF FF 00 (white)
//       62     S  the picture's rows, bottom row first
//
// Rows are N/8 bytes, a multiple of 4, so they need no padding.
std::vector<std::uint8_t> encodeBmp(const MonochromePicture& picture);

// Writes encodeBmp(picture) to `path`, replacing it only when the whole file is written.
// Throws FileError on failure, leaving an existing file untouched.
void writeBmp(const MonochromePicture& picture, const std::string& path);

}  // namespace orv
