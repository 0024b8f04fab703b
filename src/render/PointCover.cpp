#include "render/PointCover.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "render/BitCount.h"

namespace orv {

PointCover::PointCover(std::span<const PreparedMap> maps, int side)
    : shift_(std::countr_zero(static_cast<unsigned>(side))),
      columnMask_(static_cast<std::uint32_t>(side) - 1),
      pointColumns_((static_cast<std::size_t>(side) + 63) / 64),
      rowBlack_(static_cast<std::size_t>(side)),
      rowStarts_(static_cast<std::size_t>(side) + 1),
      landsOnStarts_(static_cast<std::size_t>(side) + 1, 0),
      removed_(kTallies * static_cast<std::size_t>(side), 0) {
    std::vector<std::pair<int, std::uint32_t>> landings;  // (source row, target)
    for (const PreparedMap& map : maps) {
        if (map.counted() || !map.sendsRowsToPoints()) {
            continue;
        }
        for (int y = 0; y < side; ++y) {
            int column = 0;
            int row = 0;
            if (map.rowPoint(y, column, row)) {
                landings.emplace_back(y, (static_cast<std::uint32_t>(row) << shift_) +
                                             static_cast<std::uint32_t>(column));
            }
        }
    }
    for (const auto& landing : landings) {
        targets_.push_back(landing.second);
        const std::uint32_t column = landing.second & columnMask_;
        pointColumns_[column >> 6] |= std::uint64_t{1} << (column & 63);
    }
    std::sort(targets_.begin(), targets_.end());
    targets_.erase(std::unique(targets_.begin(), targets_.end()), targets_.end());
    cover_.assign(targets_.size(), 0);
    // Sorted by source row: the rows' counts, their starts, then each point in its place.
    for (const auto& landing : landings) {
        ++landsOnStarts_[static_cast<std::size_t>(landing.first) + 1];
    }
    for (std::size_t y = 0; y < static_cast<std::size_t>(side); ++y) {
        landsOnStarts_[y + 1] += landsOnStarts_[y];
    }
    landsOn_.resize(landings.size());
    std::vector<std::int32_t> next(landsOnStarts_.begin(), landsOnStarts_.end() - 1);
    for (const auto& [row, target] : landings) {
        const auto at = std::lower_bound(targets_.begin(), targets_.end(), target);
        landsOn_[static_cast<std::size_t>(next[static_cast<std::size_t>(row)]++)] =
            static_cast<std::int32_t>(at - targets_.begin());
    }
    for (int r = 0; r <= side; ++r) {
        const auto first = std::lower_bound(targets_.begin(), targets_.end(),
                                            static_cast<std::uint32_t>(r) << shift_);
        rowStarts_[static_cast<std::size_t>(r)] =
            static_cast<std::int32_t>(first - targets_.begin());
    }
}

void PointCover::reset(const BitRaster& raster) {
    std::fill(cover_.begin(), cover_.end(), 0);
    for (int y = 0; y < raster.side(); ++y) {
        const std::uint64_t* words = raster.row(y);
        int black = 0;
        for (int i = 0; i < raster.wordsPerRow(); ++i) {
            black += bitCount(words[i]);
        }
        rowBlack_[static_cast<std::size_t>(y)] = black;
        if (black > 0) {
            for (const std::int32_t point : pointsOf(static_cast<std::size_t>(y))) {
                ++cover_[static_cast<std::size_t>(point)];
            }
        }
    }
}

std::span<const std::int32_t> PointCover::pointsOf(std::size_t row) const {
    const auto first = static_cast<std::size_t>(landsOnStarts_[row]);
    return std::span<const std::int32_t>(landsOn_).subspan(
        first, static_cast<std::size_t>(landsOnStarts_[row + 1]) - first);
}

bool PointCover::coveredPoint(std::uint32_t target) const {
    const std::size_t row = target >> shift_;
    const auto first = targets_.begin() + rowStarts_[row];
    const auto last = targets_.begin() + rowStarts_[row + 1];
    const auto at = std::find(first, last, target);
    return at != last && cover_[static_cast<std::size_t>(at - targets_.begin())] > 0;
}

void PointCover::remove(std::span<const std::uint32_t> first, std::span<const std::uint32_t> second,
                        std::vector<std::uint32_t>& uncovered) {
    // Listed pixels come in runs from one row: counted down one by one, each count would wait
    // for the last. Pixels in turn go to one of several tallies, which are then summed per row.
    const std::size_t rows = rowBlack_.size();
    for (const std::span<const std::uint32_t> pixels : {first, second}) {
        std::size_t k = 0;
        for (; k + kTallies <= pixels.size(); k += kTallies) {
            for (std::size_t tally = 0; tally < kTallies; ++tally) {
                ++removed_[tally * rows + (pixels[k + tally] >> shift_)];
            }
        }
        for (; k < pixels.size(); ++k) {
            ++removed_[pixels[k] >> shift_];
        }
    }
    for (std::size_t row = 0; row < rows; ++row) {
        std::int32_t gone = 0;
        for (std::size_t tally = 0; tally < kTallies; ++tally) {
            gone += std::exchange(removed_[tally * rows + row], 0);
        }
        if (gone == 0) {
            continue;
        }
        rowBlack_[row] -= gone;
        if (rowBlack_[row] == 0) {
            for (const std::int32_t point : pointsOf(row)) {
                if (--cover_[static_cast<std::size_t>(point)] == 0) {
                    uncovered.push_back(targets_[static_cast<std::size_t>(point)]);
                }
            }
        }
    }
}

}  // namespace orv
