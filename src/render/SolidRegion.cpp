#include "render/SolidRegion.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace orv {

namespace {

// How far each plane of an image is moved in: far more than the rounding of its terms, which
// stay below 2^20 (see imageUnder), and far less than the room a core leaves.
constexpr double kInward = 0x1p-20;

}  // namespace

// Let a map be T(z) = A z + t, A = (a b; c d), t = (Ne, Nf), and T'(z) the doubles the defining
// loop computes. A map with spanBorder() > 0 has |a| + |b| and |c| + |d| at most 1 and
// |Ne|, |Nf| at most 2^30, so T'(z) lies within 2^-20 of T(z) per coordinate; and it leaves no
// hole: every cell [i, i+1) x [j, j+1) holds a point of the lattice T(Z^2) at least 2^-5 from
// its edges (both shown beside PreparedMap::planSpans).
//
// Image. Let P be a convex region whose integral points are black pixels, and (i, j) a cell
// of the raster whose four corners pull back under T into P. The lattice point p = T(z) in the
// cell pulls back into the hull of the corners' pull-backs, inside P: z is a black pixel, and
// T'(z), within 2^-20 of p, truncates to (i, j). So the cell is black in the next raster. A
// plane n.z <= h of P holds at the pull-backs of the corners w + o (o in {0, 1}^2) exactly when
// g.w <= h + g.t - max(g_x, 0) - max(g_y, 0), g = A^-T n: those planes, for P's and the
// raster's, bound the image. They are normalised to |g|_1 = 1 (|g|_1 >= 1 / |A|_inf >= 1) and
// moved in by kInward. Only maps with |Ne|, |Nf| <= 2N are taken (beyond, nothing lands), and
// |A^-1|_inf <= N/40 (the span border is at most N/8), so every term stays below 2^20 and
// rounds by far less than kInward: the integral points of the computed planes, even where a
// bound computed from them lets one overstep a plane by a rounding, satisfy the exact ones.
//
// Core. A pixel z of P whose computed target lies in cell (i, j) with T'(z) >= 0 per
// coordinate (not truncated from (-1, 0)) has each corner w of the cell within 1 of T'(z),
// within 1 + 2^-20 of T(z), so w pulls back to within r = |A^-1|_inf (1 + 2^-20) of z per
// coordinate. If h - n.z >= r + 1 for every plane of P (|n|_1 = 1), each holds at those
// pull-backs with room 1, which is room 1 / |g|_1 >= 40 / N in the image's normalised plane:
// far more than kInward and the roundings. So the cell is in the image. T(z) >= 1/2 per
// coordinate keeps T'(z) >= 0; a target beyond the raster lands nowhere.
SolidRegion SolidRegion::square(int side) {
    return SolidRegion(side);
}

std::vector<SolidRegion::HalfPlane> SolidRegion::allPlanes() const {
    std::vector<HalfPlane> planes = planes_;
    const double last = side_ - 1;
    planes.push_back({-1.0, 0.0, 0.0});
    planes.push_back({1.0, 0.0, last});
    planes.push_back({0.0, -1.0, 0.0});
    planes.push_back({0.0, 1.0, last});
    return planes;
}

// Bounds are computed once per plane, not divided out per row: the error of alpha + beta * y,
// times |n.x|, stays within a few roundings of |h| + |n.y y| (below 2^13), far below kInward.
// A plane with |n.x| below 2^-20 bounds the rows instead, moved in by what its X term can add
// within the raster: the region evaluated is then a little smaller than its planes say.
void SolidRegion::addPlane(const HalfPlane& plane) {
    planes_.push_back(plane);
    if (plane.nx >= 0x1p-20) {
        rightEdges_.push_back({plane.h / plane.nx, -plane.ny / plane.nx});
        return;
    }
    if (plane.nx <= -0x1p-20) {
        leftEdges_.push_back({plane.h / plane.nx, -plane.ny / plane.nx});
        return;
    }
    // n.y y <= h - max(n.x x) over the raster's columns, |n.y| near 1.
    const double rest = plane.h - std::max(0.0, plane.nx * (side_ - 1));
    const double bound = rest / plane.ny;
    if (plane.ny > 0.0) {
        lastRow_ = std::min(lastRow_, static_cast<int>(std::clamp(std::floor(bound), -1.0,
                                                                  static_cast<double>(side_))));
    } else {
        firstRow_ = std::max(firstRow_, static_cast<int>(std::clamp(std::ceil(bound), -1.0,
                                                                    static_cast<double>(side_))));
    }
}

std::optional<SolidRegion> SolidRegion::imageUnder(const PreparedMap& map) const {
    const double n = side_;
    if (map.spanBorder() <= 0 || !(std::fabs(map.offsetX()) <= 2 * n) ||
        !(std::fabs(map.offsetY()) <= 2 * n)) {
        return std::nullopt;
    }
    const double det = map.a() * map.d() - map.b() * map.c();
    const double last = side_ - 1;
    SolidRegion image(side_);
    for (const HalfPlane& plane : allPlanes()) {
        const double gx = (map.d() * plane.nx - map.c() * plane.ny) / det;
        const double gy = (map.a() * plane.ny - map.b() * plane.nx) / det;
        const double length = std::fabs(gx) + std::fabs(gy);
        const double bound = plane.h + gx * map.offsetX() + gy * map.offsetY() - std::max(gx, 0.0) -
                             std::max(gy, 0.0);
        const HalfPlane moved{gx / length, gy / length, bound / length - kInward};
        // Whether it holds at each corner of the raster: then it cuts nothing, or everything.
        int holding = 0;
        for (const double x : {0.0, last}) {
            for (const double y : {0.0, last}) {
                holding += moved.nx * x + moved.ny * y <= moved.h - 0x1p-10 ? 1 : 0;
            }
        }
        if (holding == 4) {
            continue;
        }
        image.addPlane(moved);
    }
    image.narrowRows();
    return image;
}

SolidRegion SolidRegion::coreFor(const PreparedMap& map) const {
    const double det = map.a() * map.d() - map.b() * map.c();
    const double inverseNorm =
        std::max(std::fabs(map.d()) + std::fabs(map.b()), std::fabs(map.c()) + std::fabs(map.a())) /
        std::fabs(det);
    const double room = inverseNorm * (1.0 + 0x1p-10) + 1.0;
    SolidRegion core(side_);
    for (HalfPlane plane : allPlanes()) {
        plane.h -= room;
        core.addPlane(plane);
    }
    // a x + b y + Ne >= 1/2, and c x + d y + Nf >= 1/2.
    for (const auto& [u, v, offset] : {std::tuple{map.a(), map.b(), map.offsetX()},
                                       std::tuple{map.c(), map.d(), map.offsetY()}}) {
        const double length = std::fabs(u) + std::fabs(v);  // not 0: the map turns no row flat
        core.addPlane({-u / length, -v / length, (offset - 0.5) / length});
    }
    core.narrowRows();
    return core;
}

std::pair<double, double> SolidRegion::reach(int y) const {
    double low = 0.0;
    double high = side_ - 1;
    for (const ColumnBound& edge : leftEdges_) {
        low = std::max(low, edge.alpha + edge.beta * y);
    }
    for (const ColumnBound& edge : rightEdges_) {
        high = std::min(high, edge.alpha + edge.beta * y);
    }
    return {low, high};
}

ColumnRange SolidRegion::columnsOnRow(int y) const {
    if (y < firstRow_ || y > lastRow_) {
        return {};
    }
    const auto [low, high] = reach(y);
    if (!(low <= high)) {
        return {};
    }
    return {static_cast<int>(std::ceil(low)), static_cast<int>(std::floor(high))};
}

// The rows where the planes leave some of the row, in real arithmetic, are one stretch (the
// region is convex): found from one of them by bisection on either side. Each holds every row
// with a pixel of the region.
void SolidRegion::narrowRows() {
    const auto reaches = [this](int y) {
        const auto [low, high] = reach(y);
        return low <= high;
    };
    int inside = -1;
    for (int step : {16, 1}) {
        for (int y = firstRow_; y <= lastRow_ && inside < 0; y += step) {
            inside = reaches(y) ? y : -1;
        }
    }
    if (inside < 0) {
        lastRow_ = firstRow_ - 1;
        return;
    }
    int low = firstRow_;  // the first row that reaches lies in low..inside
    int high = inside;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (reaches(middle)) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    firstRow_ = low;
    low = inside;  // the last, in inside..lastRow_
    high = lastRow_;
    while (low < high) {
        const int middle = high - (high - low) / 2;
        if (reaches(middle)) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    lastRow_ = high;
}

std::int64_t SolidRegion::sampledArea(int every) const {
    std::int64_t area = 0;
    for (int y = every / 2; y < side_; y += every) {
        const ColumnRange range = columnsOnRow(y);
        area += range.empty() ? 0 : range.last - range.first + 1;
    }
    return area * every;
}

}  // namespace orv
