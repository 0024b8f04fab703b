#pragma once

#include <cstdint>
#include <vector>

#include "render/MonochromePicture.h"

namespace orv {

// A square picture of grey levels, one byte per pixel, 0 black to 255 white, N rows of N bytes,
// the top row first (the row order of MonochromePicture).
struct GreyPicture {
    int side = 0;
    std::vector<std::uint8_t> pixels{};
};

// `picture` shrunk to `side` pixels (at most the picture's own side, at least 1): each pixel is
// the share of white in the square of the picture it covers, weighing every source pixel by how
// much of it lies inside, rounded to the nearest level. A picture too small to show single
// pixels thus keeps thin lines as grey instead of dropping or doubling them at random.
// Throws std::invalid_argument for a side outside 1..picture.side().
GreyPicture shrinkToGrey(const MonochromePicture& picture, int side);

}  // namespace orv
