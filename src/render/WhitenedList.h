#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "render/BitRaster.h"
#include "render/PointCover.h"
#include "render/PreparedMap.h"

namespace orv {

// The pixels that the last iteration turned white, listed one by one, for the late iterations
// of systems whose maps are all counted, but for maps that send rows to points. There few
// pixels change, scattered over the whole raster: finding them again in the raster and cutting
// the work into bands costs several times what taking them away does. Kept as a list, each
// iteration visits exactly the pixels it must, and the pixels whose count drops to zero (and
// that no point keeps black) are the next list.
class WhitenedList {
public:
    // For `maps`, which must be counted or send rows to points. Room for `capacity` pixels in
    // `storage` (storageFor(capacity) values, outliving this): the list must never hold more,
    // neither what collect() finds nor the landings of the listed pixels with the points that
    // turn white.
    WhitenedList(std::span<const PreparedMap> maps, int side, std::size_t capacity,
                 std::span<std::uint32_t> storage);

    static std::size_t storageFor(std::size_t capacity) { return 2 * (capacity + 1); }

    std::size_t size() const { return size_; }

    // Lists the pixels black in `before` and white in `now`, which must have been packed from
    // it (they lie in the words now.whitenedWords() names).
    void collect(const BitRaster& before, const BitRaster& now);

    // One iteration, in place: takes the listed pixels' landings under the counted maps away
    // from `counts`; a pixel whose count drops to zero, or whose point turns white with a
    // count of zero, is cleared in `raster`, which becomes the next raster, and the list
    // becomes those pixels. Returns false when
    // `keepGoing`, asked now and then, ends it early; the state is then undefined. The black
    // spans of `raster` still hold its black pixels but may be wider than needed, its whitened
    // words are left as they were, and so are the counts' landed bits (see restore()).
    // `lanes` caps the doubles per vector instruction, as for plotBlackPixels.
    bool takeAway(std::uint8_t* counts, BitRaster& raster, int lanes,
                  const std::function<bool()>& keepGoing);

    // Hands the last step back to the raster path: `before` becomes `now` with the listed
    // pixels black again, now's whitened words name the words that hold them, and
    // `landedBits` become where `counts` are non-zero: `now`'s pixels but those only points
    // keep black.
    void restore(BitRaster& now, BitRaster& before, const std::uint8_t* counts,
                 std::uint64_t* landedBits) const;

private:
    int side_;
    int shift_;
    std::size_t capacity_;
    std::uint32_t* pixels_;  // (row << shift) + column
    std::uint32_t* next_;
    std::size_t size_ = 0;
    std::span<const PreparedMap> maps_;
    std::optional<PointCover> points_;  // when some map sends rows to points
    std::vector<std::uint32_t> uncovered_;
};

}  // namespace orv
