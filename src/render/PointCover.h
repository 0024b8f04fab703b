#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "render/BitRaster.h"
#include "render/PreparedMap.h"

namespace orv {

// What maps that send each source row to one point (a = c = 0, a fern's stem) contribute to
// a raster, kept up to date as pixels turn white: a row's point is black while the row holds
// a black pixel. For the list of whitened pixels, which sees the raster change pixel by pixel.
class PointCover {
public:
    // For the maps among `maps` that send rows to points.
    PointCover(std::span<const PreparedMap> maps, int side);

    // Counts the black pixels of each row of `raster` and which points they keep.
    void reset(const BitRaster& raster);

    // Every target a point lands on, covered or not.
    std::span<const std::uint32_t> targets() const { return targets_; }

    // Whether a row that holds a black pixel lands on `target`. Most targets asked about lie
    // in columns that hold no point (a stem's points share one or two): those are answered
    // here, without a call.
    bool covers(std::uint32_t target) const {
        const std::uint32_t column = target & columnMask_;
        return (pointColumns_[column >> 6] >> (column & 63) & 1) != 0 && coveredPoint(target);
    }

    // The raster lost the pixels of `first` and `second` (each once): appends to `uncovered`
    // the targets that no row covers any longer.
    void remove(std::span<const std::uint32_t> first, std::span<const std::uint32_t> second,
                std::vector<std::uint32_t>& uncovered);

private:
    // The indices in targets_ of the points of source row `row`.
    std::span<const std::int32_t> pointsOf(std::size_t row) const;

    bool coveredPoint(std::uint32_t target) const;

    int shift_;
    std::uint32_t columnMask_;
    std::vector<std::uint64_t> pointColumns_;  // one bit per column: whether a point lies there
    std::vector<std::int32_t> rowBlack_;       // black pixels per source row
    std::vector<std::uint32_t> targets_;       // distinct point targets, by target index
    std::vector<std::int32_t> cover_;          // per target: rows holding black that land there
    std::vector<std::int32_t> rowStarts_;      // targets_ of target row r: rowStarts_[r]..[r+1]
    std::vector<std::int32_t> landsOnStarts_;  // source row y's points: landsOn_[starts[y]..[y+1]]
    std::vector<std::int32_t> landsOn_;
    static constexpr std::size_t kTallies = 4;
    std::vector<std::int32_t> removed_;  // per tally and source row: pixels being removed
};

}  // namespace orv
