#include "render/PointCover.h"

#include <algorithm>
#include <bit>

namespace orv {

PointCover::PointCover(std::span<const PreparedMap> maps, int side)
    : shift_(std::countr_zero(static_cast<unsigned>(side))),
      rowBlack_(static_cast<std::size_t>(side)),
      rowStarts_(static_cast<std::size_t>(side) + 1),
      landsOn_(static_cast<std::size_t>(side)) {
    // Every pixel of row y has the target of column 0, and the test is the one of any pixel:
    // -1 < X < N, -1 < Y < N (NaN fails).
    std::vector<std::pair<int, std::uint32_t>> landings;  // (source row, target)
    for (const PreparedMap& map : maps) {
        if (map.counted() || !map.sendsRowsToPoints()) {
            continue;
        }
        for (int y = 0; y < side; ++y) {
            const double x = map.targetX(0, y);
            const double target = map.targetY(0, y);
            if (x > -1.0 && x < side && target > -1.0 && target < side) {
                landings.emplace_back(y, (static_cast<std::uint32_t>(target) << shift_) +
                                             static_cast<std::uint32_t>(x));
            }
        }
    }
    for (const auto& landing : landings) {
        targets_.push_back(landing.second);
    }
    std::sort(targets_.begin(), targets_.end());
    targets_.erase(std::unique(targets_.begin(), targets_.end()), targets_.end());
    cover_.assign(targets_.size(), 0);
    for (const auto& [row, target] : landings) {
        const auto at = std::lower_bound(targets_.begin(), targets_.end(), target);
        landsOn_[static_cast<std::size_t>(row)].push_back(
            static_cast<std::int32_t>(at - targets_.begin()));
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
            black += std::popcount(words[i]);
        }
        rowBlack_[static_cast<std::size_t>(y)] = black;
        if (black > 0) {
            for (const std::int32_t point : landsOn_[static_cast<std::size_t>(y)]) {
                ++cover_[static_cast<std::size_t>(point)];
            }
        }
    }
}

bool PointCover::covers(std::uint32_t target) const {
    const std::size_t row = target >> shift_;
    const auto first = targets_.begin() + rowStarts_[row];
    const auto last = targets_.begin() + rowStarts_[row + 1];
    const auto at = std::find(first, last, target);
    return at != last && cover_[static_cast<std::size_t>(at - targets_.begin())] > 0;
}

void PointCover::remove(std::span<const std::uint32_t> pixels,
                        std::vector<std::uint32_t>& uncovered) {
    for (const std::uint32_t pixel : pixels) {
        const std::size_t row = pixel >> shift_;
        if (--rowBlack_[row] == 0) {
            for (const std::int32_t point : landsOn_[row]) {
                if (--cover_[static_cast<std::size_t>(point)] == 0) {
                    uncovered.push_back(targets_[static_cast<std::size_t>(point)]);
                }
            }
        }
    }
}

}  // namespace orv
