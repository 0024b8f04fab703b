#include "render/MonochromePicture.h"

#include <cassert>
#include <stdexcept>

namespace orv {

MonochromePicture::MonochromePicture(int side, std::vector<std::uint8_t> bits)
    : side_(side), bits_(std::move(bits)) {
    if (side <= 0 || side % 8 != 0 ||
        bits_.size() != static_cast<std::size_t>(side) * static_cast<std::size_t>(side) / 8) {
        throw std::invalid_argument("picture bits do not match its side");
    }
}

bool MonochromePicture::isBlack(int x, int y) const {
    const std::size_t row = static_cast<std::size_t>(side_ - 1 - y);
    const std::uint8_t byte = bits_[row * static_cast<std::size_t>(bytesPerRow()) + x / 8];
    return (byte & (0x80 >> (x % 8))) == 0;
}

MonochromePicture packRaster(std::span<const std::uint8_t> raster, int side) {
    const std::size_t n = static_cast<std::size_t>(side);
    assert(raster.size() == n * n);
    std::vector<std::uint8_t> bits(n * n / 8);
    std::uint8_t* out = bits.data();
    for (std::size_t row = 0; row < n; ++row) {
        const std::uint8_t* pixels = raster.data() + (n - 1 - row) * n;
        for (std::size_t j = 0; j < n / 8; ++j) {
            std::uint8_t byte = 0;
            for (std::size_t bit = 0; bit < 8; ++bit) {
                byte = static_cast<std::uint8_t>(byte << 1 | (pixels[8 * j + bit] & 1));
            }
            *out++ = byte;
        }
    }
    return MonochromePicture(side, std::move(bits));
}

}  // namespace orv
