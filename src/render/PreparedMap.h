#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "document/AffineMap.h"
#include "render/CellSpan.h"

namespace orv {

// One enabled map made ready for the fast renderer. It gives exactly the doubles the defining
// loop computes, x*a and x*c per column (kept in tables) and y*b + N*e and y*d + N*f per row,
// so that a target is always X = xa[x] + rowX(y), Y = xc[x] + rowY(y) with the same roundings.
// On top of them it keeps what follows from monotony: with a, c and the row terms finite, X and
// Y are monotone along a row (rounding preserves order and no NaN can arise), so the ends of a
// run bound it. When any of them is not finite every pixel of the row goes to NaN or infinity
// and is dropped.
class PreparedMap {
public:
    // A slope below this moves the other coordinate across a pixel boundary less than once in
    // 64 columns: then runs are cut where that coordinate changes and each piece is filled
    // whole. Cutting costs about as much as plotting a few dozen pixels, so steeper maps are
    // plotted pixel by pixel.
    static constexpr double kFillSlope = 1.0 / 64;

    PreparedMap(const AffineMap& map, int side);

    int side() const { return side_; }
    double a() const { return a_; }
    double b() const { return b_; }
    double c() const { return c_; }
    double d() const { return d_; }
    double offsetX() const { return ne_; }  // N*e
    double offsetY() const { return nf_; }  // N*f

    double targetX(int x, int y) const { return xa_[idx(x)] + rowX(y); }
    double targetY(int x, int y) const { return xc_[idx(x)] + rowY(y); }
    const double* columnX() const { return xa_.data(); }
    const double* columnY() const { return xc_.data(); }
    double rowX(int y) const { return y * b_ + ne_; }
    double rowY(int y) const { return y * d_ + nf_; }

    // The target rows that source row y can reach, lowest first; low > high when it reaches
    // none (non-finite terms, or every target beyond one edge).
    int reachLow(int y) const { return reachLow_[idx(y)]; }
    int reachHigh(int y) const { return reachHigh_[idx(y)]; }

    // Whether consecutive pixels of row y have targets whose truncated X (or Y) never skips a
    // value, so that a run's targets cover every column (row) between those of its ends.
    bool xWithoutGaps(int y) const { return (rowFlags_[idx(y)] & kXWithoutGaps) != 0; }
    bool yWithoutGaps(int y) const { return (rowFlags_[idx(y)] & kYWithoutGaps) != 0; }

    // Whether runs of this map's pixels are mostly filled whole rather than plotted.
    bool fillsRuns() const;

    // Whether a counted map's runs are counted piece by piece (cut where the target row
    // changes) rather than pixel by pixel: its X moves by half a column to a column per pixel
    // and its Y changes row at most once in 1/kCountSlope pixels. A piece adds to a stretch of
    // counts a few vector additions at a time (one to each where its pixels have a column each,
    // which takes X skipping no column: xWithoutGaps() tells, per row), where plotting its
    // pixels changes a count for about every pixel.
    bool countsRuns() const;
    static constexpr double kCountSlope = 1.0 / 16;
    static constexpr double kLeastCountedStep = 0.5;

    // Whether every pixel of a source row has the same target: a and c are zeros (x*0 is a
    // zero, and a zero plus the row term is that term).
    bool sendsRowsToPoints() const { return a_ == 0.0 && c_ == 0.0; }

    // For such a map: whether the pixels of source row y land, and on which column and row.
    bool rowPoint(int y, int& column, int& row) const;

    // How the map scales areas: |ad - bc|.
    double areaScale() const { return std::fabs(determinant_); }

    // Whether the point (x, y) lies in the image of the whole raster, in real arithmetic: a
    // guide for planning only, blind to rounding (false for a map that flattens the square).
    bool imageHolds(double x, double y) const;

    // Roughly how many source pixels share one target pixel: a target cell (at most 2 x 2
    // pixels, for the cell of row or column 0) pulled back through the linear part.
    double sharingEstimate() const;

    // At most how many source pixels land on one target pixel, proven (see PreparedMap.cpp);
    // infinite for a map that flattens the square or is not finite.
    double mostLandings() const;

    // The image of the full square, for the first iteration: when spanBorder() > 0, the
    // targets of all N x N pixels are the columns spanFirst(j)..spanLast(j) of each target row
    // j (none when first > last) together with the targets of the pixels within spanBorder()
    // of the square's edges. 0 when the map does not allow it (see PreparedMap.cpp) or fills
    // runs whole, which costs less.
    int spanBorder() const { return spanBorder_; }
    int spanFirst(int row) const { return spanFirst_[idx(row)]; }
    int spanLast(int row) const { return spanLast_[idx(row)]; }

    // The landing counts of the first iterations, for a map whose lattice of targets contains
    // the whole pixel steps and whose targets lie clear of the lines between cells (see
    // PreparedMap.cpp). Then the pixels fall into latticeClasses() classes, and every target
    // cell receives exactly one pixel of each, inside the square or not (it lands when it is):
    // receivedPixels(k, cells) gives the pixels of class k that the cells cells(i) receive, in
    // i, and classPixels(k, j) those for the cells (i, j). Cells run from -1 to N-1 both ways;
    // truncation toward zero sends cell -1 to column or row 0. No classes when the map does
    // not allow it.
    int latticeClasses() const { return static_cast<int>(latticeClasses_.size()); }
    IntegerLine receivedPixels(int k, const IntegerLine& cells) const {
        const LatticeClass& cls = latticeClasses_[idx(k)];
        // Cell z receives z0 + (z - F) (s r).
        const std::int64_t u = cells.x - cls.cellX;
        const std::int64_t v = cells.y - cls.cellY;
        return {cls.x + u * columnStep_[0] + v * rowStep_[0],
                cls.y + u * columnStep_[1] + v * rowStep_[1],
                cells.dx * columnStep_[0] + cells.dy * rowStep_[0],
                cells.dx * columnStep_[1] + cells.dy * rowStep_[1]};
    }
    IntegerLine classPixels(int k, std::int64_t cellRow) const {
        return receivedPixels(k, {0, cellRow, 1, 0});
    }

    // Whether the renderer keeps landing counts for this map (see BandScatter).
    bool counted() const { return counted_; }
    void setCounted(bool counted) { counted_ = counted; }

    // Groups target rows into bands of `bandRows`, as plan 0 or 1 (an iteration may cut the
    // raster into bands of two sizes); sourceRowsFirst/Last(plan, band) then bound the source
    // rows whose reach meets that band (first > last when none does).
    void planBands(int plan, int bandRows);
    int sourceRowsFirst(int plan, int band) const { return plans_[idx(plan)].first[idx(band)]; }
    int sourceRowsLast(int plan, int band) const { return plans_[idx(plan)].last[idx(band)]; }

private:
    static constexpr std::uint8_t kXWithoutGaps = 1;
    static constexpr std::uint8_t kYWithoutGaps = 2;
    static std::size_t idx(int i) { return static_cast<std::size_t>(i); }
    void planSpans();
    void planLatticeCounts();
    bool unitStepsInLattice(std::int64_t steps[4]) const;
    bool someTargetClearOfCellEdges(double margin) const;

    int side_;
    double a_;
    double c_;
    double b_;
    double d_;
    double ne_;  // N*e
    double nf_;  // N*f
    double determinant_;
    bool counted_ = false;
    std::vector<double> xa_, xc_;
    std::vector<std::int32_t> reachLow_, reachHigh_;
    std::vector<std::uint8_t> rowFlags_;
    int spanBorder_ = 0;
    std::vector<std::int32_t> spanFirst_, spanLast_;
    // A pixel of each lattice class and the cell its target falls in; the source steps that
    // move a target by one column and by one row.
    struct LatticeClass {
        std::int64_t x, y, cellX, cellY;
    };
    std::vector<LatticeClass> latticeClasses_;
    std::int64_t columnStep_[2] = {0, 0};
    std::int64_t rowStep_[2] = {0, 0};
    struct BandPlan {
        std::vector<std::int32_t> first, last;
    };
    BandPlan plans_[2];
};

}  // namespace orv
