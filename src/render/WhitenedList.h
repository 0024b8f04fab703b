#pragma once

#include <array>
#include <atomic>
#include <chrono>
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

// The row that splits the target rows of a step's two parts next, given the split of the last
// step and how long each part was busy with it: the lower part was slower, the split moves
// down. Moves in steps of 8 rows, not for differences within a sixteenth of the whole, and
// stays in the middle three quarters of the side.
int balancedSplit(int split, int side, std::int64_t lowerBusy, std::int64_t upperBusy);

// The pixels that the last iteration turned white, listed one by one, for the late iterations
// of systems whose maps are all counted, but for maps that send rows to points. There few
// pixels change, scattered over the whole raster: finding them again in the raster and cutting
// the work into bands costs several times what taking them away does. Kept as a list, each
// iteration visits exactly the pixels it must, and the pixels whose count drops to zero (and
// that no point keeps black) are the next list.
class WhitenedList {
public:
    // For `maps`, which must be counted or send rows to points, keeping up to `partCapacity`
    // pixels per part of a step (and twice as many in all) in `storage` (storageFor() values,
    // outliving this).
    WhitenedList(std::span<const PreparedMap> maps, int side, std::size_t partCapacity,
                 std::span<std::uint32_t> storage);

    static std::size_t storageFor(std::size_t partCapacity) { return 6 * (partCapacity + 1); }

    // Whether the last step listed every pixel it turned white. When it did not, because they
    // might not fit, it only took the landings away: the raster is as it was, and the next
    // raster is to be packed from the counts (and the points).
    bool complete() const { return complete_; }
    // How many pixels the last complete step turned white: the list's length.
    std::int64_t whitened() const { return static_cast<std::int64_t>(size_); }

    // Lists the pixels black in `before` and white in `now`, which must have been packed from
    // it (they lie in the words now.whitenedWords() names): at most twice the part capacity.
    // In parts that may run on different threads: collectPart() for each part (of 1, or of 2:
    // the rows below the split row and the rest), then endCollect(), which throws
    // std::logic_error when they do not fit.
    void collectPart(int part, int parts, const BitRaster& before, const BitRaster& now);
    void endCollect(int parts);
    void collect(const BitRaster& before, const BitRaster& now) {
        collectPart(0, 1, before, now);
        endCollect(1);
    }

    // One step of a complete list, in place, in parts that may run on different threads:
    // beginStep() first, then takeAwayPart() for each part (of 1, or of 2: the target rows
    // below a split row and the rest), and endStep() once every part returned true. Two parts
    // must run at the same time: each maps half of the list and hands the other the landings
    // on its rows, as far as the room for them goes, and waits for the other's. The split
    // row moves from step to step so that the parts take about as long. It takes
    // the listed pixels' landings under the counted maps away from `counts`; a pixel whose
    // count drops to zero, or whose point turns white with a count of zero, is cleared in
    // `raster`, which becomes the next raster, and the list becomes those pixels. A part
    // returns false when `keepGoing`, asked now and then, ends it early; the state is then
    // undefined. The black spans of `raster` still hold its black pixels but may be wider than
    // needed, its whitened words are left as they were, and so are the counts' landed bits
    // (see restore()). `lanes` caps the doubles per vector instruction, as for
    // plotBlackPixels.
    void beginStep();
    bool takeAwayPart(int part, int parts, std::uint8_t* counts, BitRaster& raster, int lanes,
                      const std::function<bool()>& keepGoing);
    void endStep(int parts, const std::uint8_t* counts, BitRaster& raster);

    // Hands the last step of a complete list back to the raster path: `before` becomes `now`
    // with the listed pixels black again, now's whitened words name the words that hold them,
    // and `landedBits` become where `counts` are non-zero: `now`'s pixels but those only
    // points keep black.
    void restore(BitRaster& now, BitRaster& before, const std::uint8_t* counts,
                 std::uint64_t* landedBits) const;

private:
    int side_;
    int shift_;
    std::size_t partCapacity_;
    int splitRow_;  // the lowest target row of part 1
    // The list, (row << shift) + column, in two segments of up to partCapacity_ + 1 pixels,
    // the second from pixels_ + partCapacity_ + 1: a step's parts map one each.
    std::uint32_t* pixels_;
    std::size_t segmentSize_[2] = {0, 0};
    std::span<const std::uint32_t> listed(int segment) const {
        return {pixels_ + static_cast<std::size_t>(segment) * (partCapacity_ + 1),
                segmentSize_[segment]};
    }
    std::uint32_t* next_;  // part p lists from next_ + p * (partCapacity_ + 1)
    // The landings that part p found on the other part's rows, from handed_ + p * (partCapacity_
    // + 1); once it has mapped its half of the list, it sets mapped_[p].
    std::uint32_t* handed_;
    std::size_t handedSize_[2] = {0, 0};
    std::size_t handedUntil_[2] = {0, 0};  // listed pixels from there on were not handed over
    std::atomic<bool> mapped_[2] = {false, false};
    std::atomic<bool> pointsReady_{false};  // part 0 has taken the listed pixels from the points
    std::size_t size_ = 0;
    bool complete_ = false;
    // What each part of a collection listed; more than it had room for when it overflowed.
    std::size_t collected_[2] = {0, 0};
    std::optional<PointCover> points_;  // when some map sends rows to points
    std::vector<std::uint32_t> uncovered_;
    std::array<ListedMap, kMapCount> terms_{};  // of the counted maps
    std::size_t mapCount_ = 0;
    struct PartOutcome {
        std::size_t listed = 0;
        bool complete = true;
        std::chrono::steady_clock::duration busy{};  // not counting the wait for the other part
    };
    PartOutcome parts_[2];
};

}  // namespace orv
