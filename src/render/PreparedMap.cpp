#include "render/PreparedMap.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

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

// More classes than this are seldom all clear of cell edges, and each costs an interval per row.
constexpr std::int64_t kMostLatticeClasses = 16;

// Whether a target coordinate lies at least `margin` inside its cell, from both of its edges.
bool clearOfCellEdges(double value, double margin) {
    const double within = value - std::floor(value);
    return within >= margin && within <= 1.0 - margin;
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
    if (!fillsRuns()) {  // those fill runs whole instead
        planSpans();
        planLatticeCounts();
    }
}

// The first iteration maps every pixel of the full square, and a map that shrinks every
// direction enough leaves no hole inside the image, so most of it is filled as row spans. Let
// u = (a, c) and v = (b, d) be the steps of a target per column and per row and t = (Ne, Nf),
// so pixel (x, y) goes to p = x u + y v + t in real arithmetic and to a computed p' within
// 2^-20 of it per coordinate (four roundings of values below 2^31, as |Ne|, |Nf| <= 2^30 and
// the steps are at most 1). With m = 2^-6:
//
// Cover. When |a| + |b| <= 1 - 4m and |c| + |d| <= 1 - 4m, the lattice x u + y v + t (all
// integers x, y) meets every square [i + 2m, i + 1 - 2m] x [j + 2m, j + 1 - 2m]: the
// parallelograms p + {s u + r v : s, r in [0, 1)} tile the plane (det != 0), so every point z
// lies in one, and its corner p lies in z - B, B the bounding box of {s u + r v}, whose width
// |a| + |b| and height |c| + |d| fit the square with room 2m to spare on each side once z is
// chosen. Now take a target cell Q = [i, i+1) x [j, j+1) inside the raster whose box widened
// by e = 1 + m on every side has all four corners pulled back (by the inverse map) into the
// square [0, N-1]^2. The lattice point p found in Q pulls back into the hull of those corners,
// hence into [0, N-1]^2, and being integral it is a pixel; p' is within 2^-20 < m of p, so it
// truncates to (i, j). Every such cell is black after the first iteration: these are the
// spans.
//
// Rest. A pixel at least spanBorder() from every edge of the square has its computed target
// p' within (-1, 1) of its cell's corner per coordinate (truncation toward zero sends (-1, 0)
// to 0), so every point of that cell's widened box is within 2 + e + 2^-20 <= 4 of p, and
// pulls back to within 4 |A^-1| (the inverse's row-sum norm) of the pixel: inside the square
// by at least 1 when the border is 4 |A^-1| + 1 or more. So the cell is one of the spans. The
// spans are computed in doubles with an error far below 1 in source units (tolerated on
// either side: the margin of 1 above, and integral pull-backs, which a hull overshooting
// [0, N-1] by less than 1 cannot leave). Only the pixels of the border are mapped one by one.
//
// Cover at the edge. The cover condition fails for maps such as Heighway's dragon's, the
// turn by 45 degrees at scale 1/sqrt 2 (|a| + |b| = 1): their lattice has points on every line
// between cells for some offsets. But when whole pixel steps are lattice steps (integers s, r
// with s1 u + s2 v = (1, 0) and r1 u + r2 v = (0, 1), checked exactly on coefficients that
// are multiples of 2^-20) and |a| + |b|, |c| + |d| <= 1 (so the error bound above holds), then
// with any target p0 all of p0 + Z^2 are targets of the lattice, one in each cell, at the same
// place f = p0 - floor(p0) within it. If some computed target p0' of a pixel near the corner
// has both fractional parts in [3m, 1 - 3m], the exact p0 (within 2^-20) has them in
// [2m, 1 - 2m], and each cell holds a lattice point of the square [i + 2m, i + 1 - 2m] x
// [j + 2m, j + 1 - 2m] as above; the rest of the argument stands.
//
// Maps turned near isometrically (|cos| + |sin| > 1 at scale 1) leave holes and fall outside
// both conditions; nearly flat ones would need a border as wide as the square.
void PreparedMap::planSpans() {
    constexpr double m = 0x1p-6;
    constexpr double e = 1.0 + m;
    const double n = side_;
    const double det = determinant_;
    const bool finite = std::isfinite(a_) && std::isfinite(b_) && std::isfinite(c_) &&
                        std::isfinite(d_) && std::isfinite(det);
    if (!finite || det == 0.0 || !(std::fabs(ne_) <= 0x1p30) || !(std::fabs(nf_) <= 0x1p30)) {
        return;
    }
    const double rowSum = std::fabs(a_) + std::fabs(b_);
    const double columnSum = std::fabs(c_) + std::fabs(d_);
    const bool shrinks = rowSum <= 1.0 - 4 * m && columnSum <= 1.0 - 4 * m;
    std::int64_t steps[4];
    if (!shrinks && !(rowSum <= 1.0 && columnSum <= 1.0 && unitStepsInLattice(steps) &&
                      someTargetClearOfCellEdges(3 * m))) {
        return;
    }
    const double inverseNorm =
        std::max(std::fabs(d_) + std::fabs(b_), std::fabs(c_) + std::fabs(a_)) / std::fabs(det);
    const double border = std::ceil(5.0 * inverseNorm) + 2.0;
    if (!(border <= n / 8)) {
        return;
    }
    spanBorder_ = static_cast<int>(border);
    spanFirst_.assign(idx(side_), 1);
    spanLast_.assign(idx(side_), 0);
    // The pull-back of w: (d (wx - Ne) - b (wy - Nf)) / det, (a (wy - Nf) - c (wx - Ne)) / det;
    // along a target row each coordinate is k * i + offset, and must lie in [0, N-1].
    for (int j = 0; j < side_; ++j) {
        double low = 0.0;
        double high = n - 1;
        bool empty = false;
        for (const double ox : {-e, 1.0 + e}) {
            for (const double oy : {-e, 1.0 + e}) {
                const double wy = j + oy - nf_;
                const double ks[2] = {d_ / det, -c_ / det};
                const double offsets[2] = {(d_ * (ox - ne_) - b_ * wy) / det,
                                           (a_ * wy - c_ * (ox - ne_)) / det};
                for (int k = 0; k < 2; ++k) {
                    if (ks[k] == 0.0) {
                        empty = empty || offsets[k] < 0.0 || offsets[k] > n - 1;
                        continue;
                    }
                    const double first = (0.0 - offsets[k]) / ks[k];
                    const double last = (n - 1 - offsets[k]) / ks[k];
                    low = std::max(low, std::min(first, last));
                    high = std::min(high, std::max(first, last));
                }
            }
        }
        if (!empty && std::ceil(low) <= std::floor(high)) {
            spanFirst_[idx(j)] = static_cast<int>(std::ceil(low));
            spanLast_[idx(j)] = static_cast<int>(std::floor(high));
        }
    }
}

// Counting the full square. When whole pixel steps are lattice steps, A s = (1, 0) and
// A r = (0, 1) for integral s and r (the inverse's columns), the pixels whose targets differ
// from that of a pixel z0 by whole cells are z0 + i s + j r: a class of the pixels modulo
// the lattice s Z + r Z, whose index q = |det(s, r)| = 1 / |det A| is the number of classes.
// The square [0, q)^2 meets every class, since q A is the adjugate of (s r) up to sign, so q
// times a pixel step is a lattice step. The pixel z0 + i s + j r has the exact target p0 +
// (i, j), p0 = A z0 + t, and its computed target lies within 2^-20 of that (the bound above,
// which needs only |Ne|, |Nf| <= 2^30 and coefficients of at most 1). If the computed target
// of z0 has fractional parts in [3m, 1 - 3m], the exact fractional parts of the whole class
// lie in [2m, 1 - 2m], so each of its pixels lands in cell floor(p0') + (i, j), p0' the
// computed target. The defining loop keeps a target when -1 < X < N, its floor -1..N-1, and
// truncation toward zero puts floor -1 on 0. So cell (i, j) receives exactly the pixel z0 +
// (i - F.x) s + (j - F.y) r of the class, F = floor(p0'), when that pixel lies in the square,
// and no other; along a cell row those pixels lie on a line, in the square on an interval.
void PreparedMap::planLatticeCounts() {
    constexpr double margin = 3 * 0x1p-6;
    std::int64_t steps[4];
    if (!(std::fabs(ne_) <= 0x1p30) || !(std::fabs(nf_) <= 0x1p30) || !unitStepsInLattice(steps)) {
        return;
    }
    const std::int64_t classes = std::llabs(steps[0] * steps[3] - steps[2] * steps[1]);
    if (classes < 1 || classes > kMostLatticeClasses || classes > side_) {
        return;
    }
    // The steps are q times A's entries up to sign, so at most q in size: the integer lines
    // followed through a few iterations (BandScatter) stay far below 2^63.
    if (std::any_of(steps, steps + 4,
                    [classes](std::int64_t step) { return std::llabs(step) > classes; })) {
        return;
    }
    // The class of a pixel: its exact target modulo whole cells, in units of 2^-20 (the
    // coefficients are multiples of it, checked above).
    constexpr std::int64_t unit = std::int64_t{1} << 20;
    const auto scaled = [](double coefficient) {
        return static_cast<std::int64_t>(coefficient * 0x1p20);
    };
    const std::int64_t sa = scaled(a_), sb = scaled(b_), sc = scaled(c_), sd = scaled(d_);
    const auto modUnit = [](std::int64_t value) { return ((value % unit) + unit) % unit; };
    std::vector<std::pair<std::int64_t, std::int64_t>> seen;
    std::vector<LatticeClass> found;
    for (int y = 0; y < classes; ++y) {
        for (int x = 0; x < classes; ++x) {
            const std::pair<std::int64_t, std::int64_t> key{modUnit(sa * x + sb * y),
                                                            modUnit(sc * x + sd * y)};
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
                continue;
            }
            const double tx = targetX(x, y);
            const double ty = targetY(x, y);
            if (!clearOfCellEdges(tx, margin) || !clearOfCellEdges(ty, margin)) {
                return;
            }
            seen.push_back(key);
            found.push_back({x, y, static_cast<std::int64_t>(std::floor(tx)),
                             static_cast<std::int64_t>(std::floor(ty))});
        }
    }
    if (static_cast<std::int64_t>(found.size()) != classes) {
        return;
    }
    latticeClasses_ = std::move(found);
    columnStep_[0] = steps[0];
    columnStep_[1] = steps[1];
    rowStep_[0] = steps[2];
    rowStep_[1] = steps[3];
}

bool PreparedMap::unitStepsInLattice(std::int64_t steps[4]) const {
    // Coefficients that are multiples of 2^-20 and at most 1 become integers of at most 2^20
    // when scaled, so the products and sums below are exact in 64-bit integers.
    constexpr double scale = 0x1p20;
    const double coefficients[4] = {a_, b_, c_, d_};
    std::int64_t scaled[4];
    for (int k = 0; k < 4; ++k) {
        const double value = coefficients[k] * scale;
        if (!(std::fabs(coefficients[k]) <= 1.0) || value != std::trunc(value)) {
            return false;
        }
        scaled[k] = static_cast<std::int64_t>(value);
    }
    // The candidates are the inverse's columns, rounded; the check below is exact.
    const double inverse[4] = {d_ / determinant_, -c_ / determinant_, -b_ / determinant_,
                               a_ / determinant_};
    for (int k = 0; k < 4; ++k) {
        if (!(std::fabs(inverse[k]) <= scale)) {
            return false;
        }
        steps[k] = std::llround(inverse[k]);
    }
    const auto one = static_cast<std::int64_t>(scale);
    return steps[0] * scaled[0] + steps[1] * scaled[1] == one &&
           steps[0] * scaled[2] + steps[1] * scaled[3] == 0 &&
           steps[2] * scaled[0] + steps[3] * scaled[1] == 0 &&
           steps[2] * scaled[2] + steps[3] * scaled[3] == one;
}

bool PreparedMap::someTargetClearOfCellEdges(double margin) const {
    // The pixels of a 4 x 4 corner reach every class of targets the lattice has modulo whole
    // pixel steps when its index is small (2 for the dragon); more classes are simply not tried.
    for (int y = 0; y < std::min(side_, 4); ++y) {
        for (int x = 0; x < std::min(side_, 4); ++x) {
            if (clearOfCellEdges(targetX(x, y), margin) &&
                clearOfCellEdges(targetY(x, y), margin)) {
                return true;
            }
        }
    }
    return false;
}

bool PreparedMap::fillsRuns() const {
    const auto gapFree = [](double slope) {
        return std::fabs(slope) <= kGapFreeSlope || std::fabs(slope) == 1.0;
    };
    return (std::fabs(c_) < kFillSlope && gapFree(a_)) ||
           (std::fabs(a_) < kFillSlope && gapFree(c_));
}

bool PreparedMap::countsRuns() const {
    return std::fabs(c_) <= kCountSlope && std::fabs(a_) >= kLeastCountedStep &&
           std::fabs(a_) <= 1.0;
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

// A pixel (x, y) whose target truncates to (X, Y) has exact coordinates u = a x + b y + N e and
// v = c x + d y + N f within 1 + eps of X and Y: cell 0 reaches from -1 to 1, every other from
// X to X + 1, and the defining loop's doubles lie within eps of u and v (four roundings, each
// by at most 2^-53 of a value no larger than `largest`). So the pixel lies in the pull-back,
// through the linear part, of a square of side s = 2 + 2 eps: a parallelogram of area s^2/|det|
// and perimeter 2 s (|A^-1 e1| + |A^-1 e2|). A convex set holds at most its area plus half its
// perimeter plus one lattice points: the lattice polygon spanned by the points it holds has no
// more area or perimeter, and by Pick's theorem holds its area plus half its boundary points
// plus one, the boundary points being at least one apart along its perimeter.
double PreparedMap::mostLandings() const {
    const double det = std::fabs(determinant_);
    const bool finite = std::isfinite(a_) && std::isfinite(b_) && std::isfinite(c_) &&
                        std::isfinite(d_) && std::isfinite(ne_) && std::isfinite(nf_) &&
                        std::isfinite(det);
    if (!finite || det == 0.0) {
        return HUGE_VAL;
    }
    const double n = side_;
    const double largest = n * (std::fabs(a_) + std::fabs(b_) + std::fabs(c_) + std::fabs(d_)) +
                           std::fabs(ne_) + std::fabs(nf_) + n;
    const double s = 2.0 + 2.0 * (largest * 0x1p-50);
    const double steps = (std::hypot(d_, c_) + std::hypot(b_, a_)) / det;
    // The bound's own rounding is covered by a relative margin far above it.
    return (s * s / det + s * steps + 1.0) * (1.0 + 0x1p-20);
}

bool PreparedMap::rowPoint(int y, int& column, int& row) const {
    // Every pixel of the row has the target of column 0, and the test is the one of any
    // pixel: -1 < X < N, -1 < Y < N (NaN fails).
    const double x = targetX(0, y);
    const double target = targetY(0, y);
    if (!(x > -1.0 && x < side_ && target > -1.0 && target < side_)) {
        return false;
    }
    column = static_cast<int>(x);
    row = static_cast<int>(target);
    return true;
}

void PreparedMap::planBands(int plan, int bandRows) {
    const int bands = (side_ + bandRows - 1) / bandRows;
    std::vector<std::int32_t>& firsts = plans_[idx(plan)].first;
    std::vector<std::int32_t>& lasts = plans_[idx(plan)].last;
    firsts.assign(idx(bands), side_);
    lasts.assign(idx(bands), -1);
    // Bands of a power of two rows, as they are wherever the side and the threads are, are
    // found by a shift: two divisions per row took most of the time.
    const bool shifts = std::has_single_bit(static_cast<unsigned>(bandRows));
    const int shift = std::countr_zero(static_cast<unsigned>(bandRows));
    const auto bandOf = [&](int row) { return shifts ? row >> shift : row / bandRows; };
    for (int y = 0; y < side_; ++y) {
        if (reachLow(y) > reachHigh(y)) {
            continue;
        }
        for (int band = bandOf(reachLow(y)); band <= bandOf(reachHigh(y)); ++band) {
            firsts[idx(band)] = std::min(firsts[idx(band)], y);
            lasts[idx(band)] = std::max(lasts[idx(band)], y);
        }
    }
}

}  // namespace orv
