#include "render/BitRaster.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace orv {

namespace {

constexpr std::array<std::uint8_t, 256> makeBitReversal() {
    std::array<std::uint8_t, 256> table{};
    for (int value = 0; value < 256; ++value) {
        int reversed = 0;
        for (int bit = 0; bit < 8; ++bit) {
            reversed |= ((value >> bit) & 1) << (7 - bit);
        }
        table[static_cast<std::size_t>(value)] = static_cast<std::uint8_t>(reversed);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kBitReversal = makeBitReversal();

}  // namespace

BitRaster::BitRaster(int side) : BitRaster(side, {}) {}

BitRaster::BitRaster(int side, std::span<std::uint64_t> storage)
    : side_(side),
      wordsPerRow_(side / 64),
      owned_(storage.empty() ? static_cast<std::size_t>(side) * static_cast<std::size_t>(side) / 64
                             : 0),
      words_(storage.empty() ? std::span<std::uint64_t>(owned_) : storage),
      firstBlack_(static_cast<std::size_t>(side)),
      lastBlack_(static_cast<std::size_t>(side)),
      whitened_(static_cast<std::size_t>(side), 0) {
    if (wordsPerRow_ > kMaxWordsPerRow) {
        throw std::invalid_argument("raster side above 2048");
    }
}

void BitRaster::fillBlack() {
    std::fill(words_.begin(), words_.end(), ~std::uint64_t{0});
    std::fill(firstBlack_.begin(), firstBlack_.end(), 0);
    std::fill(lastBlack_.begin(), lastBlack_.end(), wordsPerRow_ - 1);
    std::fill(whitened_.begin(), whitened_.end(), 0);
}

MonochromePicture BitRaster::toPicture() const {
    const std::size_t bytesPerRow = static_cast<std::size_t>(side_) / 8;
    std::vector<std::uint8_t> bits(bytesPerRow * static_cast<std::size_t>(side_));
    std::uint8_t* out = bits.data();
    for (int y = side_ - 1; y >= 0; --y) {
        const std::uint64_t* words = row(y);
        for (int i = 0; i < wordsPerRow_; ++i) {
            // Our columns run from the least significant bit and black is 1; the picture's
            // run from the most significant bit and black is 0.
            const std::uint64_t white = ~words[i];
            for (int byte = 0; byte < 8; ++byte) {
                *out++ = kBitReversal[(white >> (8 * byte)) & 0xFF];
            }
        }
    }
    return MonochromePicture(side_, std::move(bits));
}

}  // namespace orv
