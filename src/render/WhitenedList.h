#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "document/ParameterBlock.h"
#include "render/BitRaster.h"
#include "render/PixelKernel.h"
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

    static std::size_t storageFor(std::size_t capacity) { return 2 * slotsFor(capacity); }

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

    // takeAway() in parts that may run on different threads: beginStep() first, then
    // takeAwayPart() for each part (of 1 or 2: the lower and the upper half of the target
    // rows), and endStep() once every part returned true.
    void beginStep();
    bool takeAwayPart(int part, int parts, std::uint8_t* counts, BitRaster& raster, int lanes,
                      const std::function<bool()>& keepGoing);
    void endStep(int parts, const std::uint8_t* counts, BitRaster& raster);

    // Hands the last step back to the raster path: `before` becomes `now` with the listed
    // pixels black again, now's whitened words name the words that hold them, and
    // `landedBits` become where `counts` are non-zero: `now`'s pixels but those only points
    // keep black.
    void restore(BitRaster& now, BitRaster& before, const std::uint8_t* counts,
                 std::uint64_t* landedBits) const;

private:
    static std::size_t slotsFor(std::size_t capacity) { return capacity + 2; }

    int side_;
    int shift_;
    std::size_t capacity_;
    std::uint32_t* pixels_;  // (row << shift) + column
    std::uint32_t* next_;
    std::size_t size_ = 0;
    std::span<const PreparedMap> maps_;
    std::optional<PointCover> points_;  // when some map sends rows to points
    std::vector<std::uint32_t> uncovered_;
    std::array<ListedMap, kMapCount> terms_{};  // of the counted maps
    std::size_t mapCount_ = 0;
    std::size_t partFirst_[2] = {0, 0};  // where each part's pixels start in the next list
    std::size_t partFound_[2] = {0, 0};
};

}  // namespace orv
