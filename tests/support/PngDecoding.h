#pragma once

#include <cstdint>
#include <vector>

namespace orv::test {

// A greyscale PNG file as libpng's reader sees it. The pixels are expanded to one byte each
// (a one-bit file gives 0 and 255), top row first.
struct DecodedPng {
    int width = 0;
    int height = 0;
    int bitDepth = 0;    // as stored in the file's header
    int colourType = 0;  // 0: greyscale
    std::vector<std::uint8_t> grey;

    std::uint8_t at(int x, int row) const {
        return grey[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x)];
    }
};

// Throws std::runtime_error when libpng cannot read `file`.
DecodedPng decodePng(const std::vector<std::uint8_t>& file);

}  // namespace orv::test
