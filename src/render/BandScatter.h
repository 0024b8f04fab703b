#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "render/BitRaster.h"
#include "render/CellSpan.h"
#include "render/PreparedMap.h"
#include "render/SolidRegion.h"

namespace orv {

// A band of consecutive target rows, the unit of work of an iteration.
struct TargetBand {
    TargetBand(int plan, int index, int first, int last);

    int plan;     // which of PreparedMap's band plans it belongs to
    int index;    // as numbered by PreparedMap::planBands
    int first;    // lowest target row
    int last;     // highest target row
    double yLow;  // a target Y lands on rows first..last exactly when yLow < Y < yHigh
    double yHigh;
};

// What counted maps do to the counts in an iteration.
enum class CountsUse {
    Mark,      // mark their targets there, as marked maps do in theirs (the counts are lost)
    Count,     // count afresh how many black source pixels land on each target
    TakeAway,  // take away the pixels that turned white since the counted raster
};

// What a map does to a solid region of the source (SolidRegion): the target cells it blackens
// for sure, and the pixels whose targets lie among them, which need not be mapped.
struct RegionImage {
    int map;  // its index in IterationStep::maps
    SolidRegion image;
    SolidRegion core;
};

// What one iteration maps and where the results go.
//
// Maps come in two kinds. A marked map sets a byte for every target its black pixels reach,
// in a buffer that holds one band. A counted map keeps, per target pixel of the whole raster,
// how many black pixels land there (stopping at 255). Since each raster contains the next, the
// counts for the next iteration follow by taking away the pixels that turned white, which are
// far fewer than those that stay black while a picture shrinks slowly. While it shrinks fast,
// counted maps just mark, in the counts' place (whose bands are larger: fewer source rows are
// visited by several bands).
struct IterationStep {
    const BitRaster* source = nullptr;   // the raster being mapped
    const BitRaster* counted = nullptr;  // for TakeAway: the raster the counts were made for
    std::span<const PreparedMap> maps;
    // N*N counts, row-major; null when no map is counted.
    std::uint8_t* counts = nullptr;
    CountsUse countsUse = CountsUse::Mark;
    // One bit per count, laid out as the counts, set where the count is non-zero: read from
    // the counts when they are written afresh, kept up to date by TakeAway itself, so that the
    // counts need not be read again then.
    std::uint64_t* landedBits = nullptr;
    // When the only maps that are not counted send each source row to one point: the columns
    // of target row r's points are pointColumns[pointStarts[r]..pointStarts[r + 1]), packed
    // with the counted pixels (no marked phase runs). Empty otherwise.
    std::span<const std::int32_t> pointStarts;
    std::span<const std::int32_t> pointColumns;
    bool fullSource = false;  // the source is the full square: the first iteration
    // When not empty, maps that mark and leave no hole (PreparedMap::spanBorder()) mark these
    // images of the source's solid regions as row spans, and only the pixels outside the
    // cores one by one.
    std::span<const RegionImage> regionImages;
    // When not negative, the counted maps with lattice classes (PreparedMap::latticeClasses)
    // count this source by them: it is the full square (0), or its image under the step this
    // many times (at most kMostLatticeDepth) when every map has classes.
    int latticeDepth = -1;
    static constexpr int kMostLatticeDepth = 2;
    int vectorLanes = 4;  // the widest vector, in doubles, the kernels may use
    // The counted maps together land at most 254 times on any target (PreparedMap::
    // mostLandings()): no count reaches kFullCount.
    bool countsBelowFull = false;
};

// What packing the bands of an iteration found.
struct StepOutcome {
    bool changed = false;            // some pixel turned white
    bool saturated = false;          // some count reached 255, so counts cannot be brought forward
    std::int64_t whitened = 0;       // pixels black in the source and white in the new raster
    std::int64_t whitenedWords = 0;  // raster words that hold such pixels

    void add(const StepOutcome& other);
};

// One iteration step restricted to a band of target rows. Target rows belong to exactly one
// band, so bands can be processed by different threads without sharing anything they write.
// Each thread's scratch starts a cache line of its own: its counters change at every row, and
// a neighbour's writes on the same line would make every read of its fields a miss.
class alignas(64) BandScatter {
public:
    // Scratch for one thread: marks for bands of up to `markedRows` rows (none when 0), kept
    // in `marks` (N * markedRows zero bytes, outliving this) when given.
    BandScatter(int side, int markedRows, std::span<std::uint8_t> marks = {});
    BandScatter(const BandScatter&) = delete;
    BandScatter& operator=(const BandScatter&) = delete;
    BandScatter(BandScatter&&) = default;  // a moved vector keeps its buffer: marks_ stays valid
    BandScatter& operator=(BandScatter&&) = default;

    // Brings the band's targets up to date for the counted maps (`counted`) or the marked
    // ones; the band must come from the plan those maps use. `keepGoing` is asked
    // between source rows and ends the work early when it returns false. Returns false when
    // stopped.
    bool scatter(const IterationStep& step, const TargetBand& band, bool counted,
                 const std::function<bool()>& keepGoing);

    // Writes the band's rows of `next` (clearing the marks for the next band), with the words
    // of each row that hold pixels turned white, and adds what it found to `outcome`.
    void pack(const IterationStep& step, BitRaster& next, const TargetBand& band,
              StepOutcome& outcome);

private:
    bool markImageOfSquare(const IterationStep& step, const PreparedMap& map,
                           const TargetBand& band, std::uint8_t* targets,
                           const std::function<bool()>& keepGoing);
    bool markImageOfRegions(const IterationStep& step, const PreparedMap& map,
                            const TargetBand& band, std::uint8_t* targets,
                            const std::function<bool()>& keepGoing);
    void markColumnInBand(const PreparedMap& map, const TargetBand& band, std::uint8_t* targets,
                          int x, int from, int to, int lanes);
    void countLatticeImage(const IterationStep& step, const TargetBand& band);
    template <int depth>
    void addBlackSpans(std::span<const PreparedMap> maps, const IntegerLine& pixels, CellSpan span);
    bool takeAway(const IterationStep& step, const PreparedMap& map, const TargetBand& band,
                  const std::function<bool()>& keepGoing);
    bool scatterMap(const IterationStep& step, const PreparedMap& map, const TargetBand& band,
                    const std::function<bool()>& keepGoing);

    int side_;
    int shift_;
    unsigned visits_ = 0;  // source rows visited, to ask keepGoing now and then
    int markedLow_;        // band rows that may hold marks: markedLow_..markedHigh_
    int markedHigh_;
    std::vector<std::uint8_t> ownedMarks_;  // empty when the marks live elsewhere
    std::span<std::uint8_t> marks_;
    std::vector<std::uint64_t> whitened_;  // a row of pixels that turned white, else all zero
    std::vector<std::uint64_t> points_;    // a row of the points' pixels, for packing
    // For counting by lattice classes: cells of a row, and where spans begin (+1) and end (-1).
    std::vector<CellSpan> spans_;
    std::vector<std::pair<std::int64_t, int>> edges_;
    std::vector<ColumnRange> cores_;  // of one source row, for marking the images of regions
};

}  // namespace orv
