#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "render/MonochromePicture.h"

namespace orv {

// The working raster of the fast renderer: one bit per pixel, row-major with row 0 at the
// bottom, N/64 words a row; within a word, column 64i + k is bit k (least significant first) and
// a set bit is black. For each row it also keeps the span of words holding black pixels, so
// empty rows and margins are skipped without reading them.
class BitRaster {
public:
    static constexpr int kMaxWordsPerRow = 32;  // 2048 pixels, the largest picture

    explicit BitRaster(int side);
    // Keeps its pixels in `storage` (N*N/64 words, all white), which must outlive it.
    BitRaster(int side, std::span<std::uint64_t> storage);
    BitRaster(const BitRaster&) = delete;
    BitRaster& operator=(const BitRaster&) = delete;
    BitRaster(BitRaster&&) = default;  // a moved vector keeps its buffer: words_ stays valid
    BitRaster& operator=(BitRaster&&) = default;

    int side() const { return side_; }
    int wordsPerRow() const { return wordsPerRow_; }

    std::uint64_t* row(int y) { return words_.data() + static_cast<std::size_t>(y) * wordsPerRow_; }
    const std::uint64_t* row(int y) const {
        return words_.data() + static_cast<std::size_t>(y) * wordsPerRow_;
    }

    // Words firstBlackWord(y)..lastBlackWord(y) hold every black pixel of row y; the first is
    // greater than the last when the row has none.
    int firstBlackWord(int y) const { return firstBlack_[static_cast<std::size_t>(y)]; }
    int lastBlackWord(int y) const { return lastBlack_[static_cast<std::size_t>(y)]; }
    void setBlackSpan(int y, int first, int last) {
        firstBlack_[static_cast<std::size_t>(y)] = first;
        lastBlack_[static_cast<std::size_t>(y)] = last;
    }

    // Bit i is set when word i of row y holds a pixel that was black in the raster this one
    // was made from and is white here. Rows have at most kMaxWordsPerRow words.
    std::uint32_t whitenedWords(int y) const { return whitened_[static_cast<std::size_t>(y)]; }
    void setWhitenedWords(int y, std::uint32_t words) {
        whitened_[static_cast<std::size_t>(y)] = words;
    }

    void fillBlack();

    // The picture the program shows: top row first, most significant bit leftmost, 1 white.
    MonochromePicture toPicture() const;

private:
    int side_;
    int wordsPerRow_;
    std::vector<std::uint64_t> owned_;  // empty when the pixels live elsewhere
    std::span<std::uint64_t> words_;
    std::vector<std::int32_t> firstBlack_;
    std::vector<std::int32_t> lastBlack_;
    std::vector<std::uint32_t> whitened_;
};

}  // namespace orv
