#include "render/PreparedMap.h"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

// A slope this far below 1 moves a target by less than one pixel per column even after the
// rounding of the product and the sum (a few units of 2^-41 for values below 4096), so no
// truncated value is skipped.
constexpr double kGapFreeSlope = 1.0 - 0x1p-20;

// A slope of exactly +-1 with an integral row term adds integers exactly: the targets step by
// exactly one. With other row terms rounding can skip a column where the targets cross a power
// of two, so those rows get no such promise.
bool stepsWithoutGaps(double slope, double rowTerm) {
    if (std::fabs(slope) <= kGapFreeSlope) {
        return true;
    }
    return std::fabs(slope) == 1.0 && std::fabs(rowTerm) <= 0x1p40 &&
           rowTerm == std::trunc(rowTerm);
}

}  // namespace

PreparedMap::PreparedMap(const AffineMap& map, int side)
    : side_(side),
      a_(map.a),
      c_(map.c),
      b_(map.b),
      d_(map.d),
      ne_(side * map.e),
      nf_(side * map.f),
      determinant_(map.a * map.d - map.b * map.c),
      xa_(idx(side)),
      xc_(idx(side)),
      reachLow_(idx(side)),
      reachHigh_(idx(side)),
      rowFlags_(idx(side)) {
    const double n = side;
    for (int i = 0; i < side; ++i) {
        xa_[idx(i)] = i * map.a;
        xc_[idx(i)] = i * map.c;
    }
    const bool slopesFinite = std::isfinite(map.a) && std::isfinite(map.c);
    for (int y = 0; y < side; ++y) {
        reachLow_[idx(y)] = 1;
        reachHigh_[idx(y)] = 0;
        rowFlags_[idx(y)] = 0;
        if (!slopesFinite || !std::isfinite(rowX(y)) || !std::isfinite(rowY(y))) {
            continue;
        }
        const double x0 = targetX(0, y);
        const double x1 = targetX(side - 1, y);
        const double y0 = targetY(0, y);
        const double y1 = targetY(side - 1, y);
        const double lowY = std::min(y0, y1);
        const double highY = std::max(y0, y1);
        const bool xMisses = (x0 <= -1.0 && x1 <= -1.0) || (x0 >= n && x1 >= n);
        if (xMisses || highY <= -1.0 || lowY >= n) {
            continue;
        }
        reachLow_[idx(y)] = lowY > -1.0 ? static_cast<int>(lowY) : 0;
        reachHigh_[idx(y)] = highY < n ? static_cast<int>(highY) : side - 1;
        rowFlags_[idx(y)] =
            static_cast<std::uint8_t>((stepsWithoutGaps(a_, rowX(y)) ? kXWithoutGaps : 0) |
                                      (stepsWithoutGaps(c_, rowY(y)) ? kYWithoutGaps : 0));
    }
}

bool PreparedMap::fillsRuns() const {
    const auto gapFree = [](double slope) {
        return std::fabs(slope) <= kGapFreeSlope || std::fabs(slope) == 1.0;
    };
    return (std::fabs(c_) < kFillSlope && gapFree(a_)) ||
           (std::fabs(a_) < kFillSlope && gapFree(c_));
}

bool PreparedMap::imageHolds(double x, double y) const {
    if (!std::isfinite(determinant_) || determinant_ == 0.0) {
        return false;
    }
    // The source point, by the inverse of the linear part.
    const double u = x - ne_;
    const double v = y - nf_;
    const double sourceX = (d_ * u - b_ * v) / determinant_;
    const double sourceY = (a_ * v - c_ * u) / determinant_;
    return sourceX >= 0.0 && sourceX < side_ && sourceY >= 0.0 && sourceY < side_;
}

double PreparedMap::sharingEstimate() const {
    const double area = std::fabs(determinant_);
    return area > 0.0 ? 4.0 / area : HUGE_VAL;
}

void PreparedMap::planBands(int plan, int bandRows) {
    const int bands = (side_ + bandRows - 1) / bandRows;
    std::vector<std::int32_t>& firsts = plans_[idx(plan)].first;
    std::vector<std::int32_t>& lasts = plans_[idx(plan)].last;
    firsts.assign(idx(bands), side_);
    lasts.assign(idx(bands), -1);
    for (int y = 0; y < side_; ++y) {
        if (reachLow(y) > reachHigh(y)) {
            continue;
        }
        for (int band = reachLow(y) / bandRows; band <= reachHigh(y) / bandRows; ++band) {
            firsts[idx(band)] = std::min(firsts[idx(band)], y);
            lasts[idx(band)] = std::max(lasts[idx(band)], y);
        }
    }
}

}  // namespace orv
