#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "render/BitRaster.h"
#include "render/PreparedMap.h"

namespace orv {

// The pixels that the last iteration turned white, listed one by one, for the late iterations
// of systems whose maps are all counted. There few pixels change, scattered over the whole
// raster: finding them again in the raster and cutting the work into bands costs several
// times what taking them away does. Kept as a list, each iteration visits exactly the pixels
// it must, and the pixels whose count drops to zero are the next list.
class WhitenedList {
public:
    // Room for `capacity` pixels in `storage` (storageFor(capacity) values, outliving this).
    // The list must never hold more: neither what collect() finds nor the landings of the
    // listed pixels on the maps given to takeAway().
    WhitenedList(int side, std::size_t capacity, std::span<std::uint32_t> storage);

    static std::size_t storageFor(std::size_t capacity) { return 2 * (capacity + 1); }

    std::size_t size() const { return size_; }

    // Lists the pixels black in `before` and white in `now`, which must have been packed from
    // it (they lie in the words now.whitenedWords() names).
    void collect(const BitRaster& before, const BitRaster& now);

    // One iteration, in place: takes the listed pixels' landings under `maps` (all counted)
    // away from `counts`; a pixel whose count drops to zero is cleared in `raster`, which
    // becomes the next raster, and the list becomes those pixels. Returns false when
    // `keepGoing`, asked now and then, ends it early; the state is then undefined. The black
    // spans of `raster` still hold its black pixels but may be wider than needed, its whitened
    // words are left as they were, and so are the counts' landed bits (see restore()).
    bool takeAway(std::span<const PreparedMap> maps, std::uint8_t* counts, BitRaster& raster,
                  const std::function<bool()>& keepGoing);

    // Hands the last step back to the raster path: `before` becomes `now` with the listed
    // pixels black again, now's whitened words name the words that hold them, and
    // `landedBits` (set where a count is non-zero: `now` itself, as every map is counted)
    // become `now`'s pixels.
    void restore(BitRaster& now, BitRaster& before, std::uint64_t* landedBits) const;

private:
    int side_;
    int shift_;
    std::size_t capacity_;
    std::uint32_t* pixels_;  // (row << shift) + column
    std::uint32_t* next_;
    std::size_t size_ = 0;
};

}  // namespace orv
