#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace orv {

// The rendered attractor, one bit per pixel, as the view draws it and the BMP export saves it:
// N rows of N/8 bytes, the top row first; within a row, byte j holds columns 8j..8j+7 with
// column 8j in the most significant bit; bit 0 is black (in the set), bit 1 white. The top row
// is raster row N-1: raster y grows upwards on the screen.
class MonochromePicture {
public:
    MonochromePicture(int side, std::vector<std::uint8_t> bits);

    int side() const { return side_; }
    int bytesPerRow() const { return side_ / 8; }
    std::span<const std::uint8_t> bits() const { return bits_; }

    // True when the pixel at raster coordinates (x, y) (y = 0 at the bottom) is black.
    bool isBlack(int x, int y) const;

private:
    int side_;
    std::vector<std::uint8_t> bits_;
};

// Packs a byte raster (row-major, row 0 at the bottom, 0 black, 1 white) of side N.
MonochromePicture packRaster(std::span<const std::uint8_t> raster, int side);

}  // namespace orv
