#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "render/PreparedMap.h"

namespace orv {

// The whole columns first..last of one row; none when first > last.
struct ColumnRange {
    int first = 0;
    int last = -1;

    bool empty() const { return first > last; }
};

// A convex region of an N x N raster whose pixels (the integral points in it) are all known to
// be black. The full square starts it; a map that leaves no hole in its image (PreparedMap::
// spanBorder() > 0) turns it into the region of the next raster that the map's targets
// provably cover (imageUnder()), and the pixels deep enough inside it land in that image
// whatever the rounding (coreFor()). So an iteration can fill the image row span by row span
// and map only the pixels outside the cores one by one, as the first iteration does for the
// full square.
class SolidRegion {
public:
    // The whole raster.
    static SolidRegion square(int side);

    // The cells of the next raster that `map` blackens from this region, proven: none when the
    // map does not allow it.
    std::optional<SolidRegion> imageUnder(const PreparedMap& map) const;

    // The pixels of this region whose targets under `map` (with imageUnder(map) present) lie
    // in a cell of that image or do not land: every other pixel must be mapped one by one.
    SolidRegion coreFor(const PreparedMap& map) const;

    // The pixels of row y in the region (y within the raster).
    ColumnRange columnsOnRow(int y) const;

    // Rows outside firstRow()..lastRow() hold none of the region's pixels.
    int firstRow() const { return firstRow_; }
    int lastRow() const { return lastRow_; }

    // About how many pixels the region holds, from every `every`-th row.
    std::int64_t sampledArea(int every) const;

private:
    // n.x * x + n.y * y <= h with |n.x| + |n.y| = 1, so that the points at least r from its
    // edge in either coordinate are those with n.p <= h - r.
    struct HalfPlane {
        double nx;
        double ny;
        double h;
    };

    // A plane that bounds X on a row: X >= alpha + beta * y (a left edge) or X <= it.
    struct ColumnBound {
        double alpha;
        double beta;
    };

    explicit SolidRegion(int side) : side_(side), firstRow_(0), lastRow_(side - 1) {}
    // The region's planes with the raster's own four.
    std::vector<HalfPlane> allPlanes() const;
    void addPlane(const HalfPlane& plane);
    // The columns row y holds in real arithmetic: low > high when none.
    std::pair<double, double> reach(int y) const;
    // Narrows firstRow_..lastRow_ to the rows the planes reach.
    void narrowRows();

    int side_;
    // Within the raster's square, which is not listed among them.
    std::vector<HalfPlane> planes_;
    // The same planes as bounds on each row's columns, and the rows that those with no X
    // term leave.
    std::vector<ColumnBound> leftEdges_;
    std::vector<ColumnBound> rightEdges_;
    int firstRow_;
    int lastRow_;
};

}  // namespace orv
