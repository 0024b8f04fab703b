#include "render/FastIteration.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "render/BandClaims.h"
#include "render/BandScatter.h"
#include "render/BitRaster.h"
#include "render/HugePageArena.h"
#include "render/PooledTeam.h"
#include "render/PreparedMap.h"
#include "render/RenderTeam.h"
#include "render/SolidRegion.h"
#include "render/WhitenedList.h"

namespace orv {

namespace {

// How often the caller asks its progress whether to stop while an iteration runs.
constexpr std::chrono::milliseconds kPollInterval{10};

// Below this side an iteration takes well under a millisecond, less than waking threads costs.
constexpr int kSmallestSharedSide = 256;

// A band's marks stay within this many bytes, which keeps them in the core's own cache, and
// all threads' marks together within kAllBandBytes.
constexpr int kBandBytes = 256 * 1024;
constexpr int kAllBandBytes = 512 * 1024;

// The counted maps together may expect this many pixels on one target: counts stop at 255.
constexpr double kCountingBudget = 200.0;

// Counting afresh costs about as much as marking, taking a pixel away about twice as much, and
// counts pay over the iterations that follow: count as soon as the raster keeps at least half
// of itself per iteration (judged at first by how the counted maps scale areas), with a few
// iterations left to profit.
constexpr double kKeptAreaWorthCounting = 0.5;
constexpr std::int64_t kIterationsWorthCounting = 3;

// The first iteration maps the full square. Counting its landings costs two to four times what
// marking them does (more when many pixels share a target). Marking instead and counting the
// second raster adds the marking, but counts only the pixels the first iteration left black
// and takes none away, and taking one away costs about as much as counting one: that pays
// once the first iteration whitens more than about 15 % of the square. So it counts only when
// the images of the square leave less of it white.
constexpr double kWhiteWorthMarkingFirst = 0.15;
constexpr int kCoverageSamples = 64;  // sample points per side of that estimate, at most

// Sample points per side, at most, of the estimate of where the counting iteration's landings
// fall: enough to tell a few bands apart.
constexpr int kBandSamples = 32;

// Taking away fewer pixels than this, on every counted map, takes well under the tens of
// microseconds that waking the other threads and waiting for them costs on a virtual machine;
// from a few thousand on, two threads take them away about 1.4 times as fast as one.
constexpr std::int64_t kFewToShare = 1024;

// Fewer pixels than this turned white are listed on one thread.
constexpr std::int64_t kFewToCollectApart = 16384;

// When every map counts by lattice classes, the first iterations count the images of the full
// square by spans. Each iteration multiplies the spans to find per row by the classes of all
// maps: beyond this many, taking the whitened pixels away costs less. (The dragon's third
// iteration took 1.2 ms by spans and 1.8 ms by taking away; its fourth by spans, 4.9 ms.)
constexpr std::int64_t kLatticeDepth = IterationStep::kMostLatticeDepth;

// Once some map has marked the raster, an iteration may mark the images of the raster's solid
// regions (SolidRegion) as row spans, mapping only the pixels outside their cores one by one,
// and count the next raster instead of this one: that counts fewer pixels and takes none away
// for the pixels this iteration whitens. It pays while at most this share of the counted
// maps' pixels lies outside their cores (judged on every kRegionSampleRows-th row). Regions
// smaller than kLeastRegionArea pixels are dropped, and only the kMostRegions largest kept.
// (The fern's second raster took 0.8 ms to mark from regions, 2.5 % of its pixels outside the
// cores, where counting it took 5.2 and taking away what the next whitened 1.7; its fourth,
// 3.6 % outside but 24 images of 8 regions, 1.8. With 25 % allowed, the fifth and sixth
// marked too and took 2.8 and 3.4 ms: the whole render took 1.15 times as long as with 5 %.)
constexpr double kOutsideCoresWorthMarking = 0.05;
constexpr int kRegionSampleRows = 16;
constexpr std::int64_t kLeastRegionArea = 4096;
constexpr std::size_t kMostRegions = 8;

// Up to this many pixels turned white, taking them away from a list of them costs less than
// finding them in the raster; more, and the raster's per-row kernel wins, unless they lie
// scattered: up to twice as many are listed (as many as the list holds) when the words that
// hold them hold at most kSparsePixelsPerWord each on average. (Listing the six copies' fifth
// and sixth iterations, at 16 and 10 pixels a word, took 0.9 and 0.5 of the raster path's
// time; the dragon's seventh and the fern's, at 27 and 25, 1.3 and 1.2.)
constexpr std::int64_t kListedPixels = std::int64_t{1} << 17;
constexpr std::int64_t kSparsePixelsPerWord = 20;

int threadsFor(const FastRenderOptions& options, int side) {
    if (options.threads > 0) {
        return std::min(options.threads, kMaxRenderThreads);
    }
    if (side < kSmallestSharedSide) {
        return 1;
    }
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, kMaxRenderThreads);
}

int bandRowsFor(const FastRenderOptions& options, int side, int threads) {
    if (options.bandRows > 0) {
        return std::min(options.bandRows, side);
    }
    return std::clamp(std::min(kBandBytes, kAllBandBytes / threads) / side, 1, side);
}

constexpr int kMarkedPlan = 0;
constexpr int kCountedPlan = 1;

std::vector<TargetBand> bandsOf(int plan, int side, int rows) {
    std::vector<TargetBand> bands;
    for (int first = 0; first < side; first += rows) {
        bands.emplace_back(plan, static_cast<int>(bands.size()), first,
                           std::min(side, first + rows) - 1);
    }
    return bands;
}

// Asks the progress whether to stop, at most once per interval, and tells the other threads
// through an atomic flag: they must never call the progress themselves.
class StopPoller {
public:
    explicit StopPoller(RenderProgress& progress) : progress_(progress) {}

    bool stopped() const { return stop_.load(std::memory_order_relaxed); }

    void pollNow() {
        last_ = std::chrono::steady_clock::now();
        if (progress_.stopRequested()) {
            stop_.store(true, std::memory_order_relaxed);
        }
    }

    void pollIfDue() {
        if (std::chrono::steady_clock::now() - last_ >= kPollInterval) {
            pollNow();
        }
    }

private:
    RenderProgress& progress_;
    std::atomic<bool> stop_{false};
    std::chrono::steady_clock::time_point last_{};
};

// Adds the time since its last lap to a phase, when the caller wants phases.
class PhaseClock {
public:
    using Phase = RenderPhases::Duration RenderPhases::*;

    explicit PhaseClock(RenderPhases* phases) : phases_(phases) {
        if (phases_ != nullptr) {
            *phases_ = RenderPhases{};
            last_ = std::chrono::steady_clock::now();
        }
    }

    void lap(Phase phase) {
        if (phases_ != nullptr) {
            const auto now = std::chrono::steady_clock::now();
            phases_->*phase += now - last_;
            last_ = now;
        }
    }

    void countIteration() {
        if (phases_ != nullptr) {
            ++phases_->iterations;
        }
    }

private:
    RenderPhases* phases_;
    std::chrono::steady_clock::time_point last_{};
};

// One render, from the prepared maps to the picture.
class FastRender {
public:
    FastRender(const ParameterBlock& block, const FastRenderOptions& options, int side);

    // Iterates `iterations` times (at least once) from the full square; nothing when stopped.
    std::optional<MonochromePicture> run(std::int64_t iterations, RenderProgress& progress,
                                         PhaseClock& clock, const PictureObserver& observer);

private:
    void prepareMaps(const ParameterBlock& block, bool counting);
    void allocateBuffers();
    void findPoints(const BitRaster& source);
    CountsUse countsUseFor(std::int64_t t, std::int64_t iterations) const;
    double firstWhite() const;
    void shareCountedBands();
    bool listsTakeAway() const;
    void imageRegions();
    bool regionsWorthMarking() const;
    void keepRegionImages();
    void collectList(const BitRaster& before, const BitRaster& now, RenderTeam& team,
                     const std::function<void()>& whileWaiting);
    bool takeAwayListed(BitRaster& raster, RenderTeam& team, const std::function<bool()>& keepGoing,
                        const std::function<void()>& whileWaiting);
    void work(int member);

    int side_;
    int threads_;
    int markedRows_;
    int countedRows_;
    std::vector<TargetBand> markedBands_;
    std::vector<TargetBand> countedBands_;
    std::vector<PreparedMap> maps_;
    double countedArea_ = 0.0;  // how the counted maps together scale areas
    bool anyCounted_ = false;
    bool anyMarked_ = false;
    bool latticeFirst_ = false;  // some map is counted, every counted one by lattice classes
    bool latticeOnly_ = false;   // every map is counted by lattice classes

    // The large buffers below live in it: declared before them, it goes after them.
    std::optional<HugePageArena> arena_;
    std::vector<BandScatter> scratch_;  // one per thread
    std::span<std::uint8_t> counts_;
    std::span<std::uint64_t> landedBits_;
    std::vector<BitRaster> rasters_;

    // The state of the iteration in progress, shared with the threads of the team.
    IterationStep step_;
    BitRaster* next_ = nullptr;
    bool countingPhase_ = false;
    bool packWithCounts_ = false;  // no marked phase: counted bands are packed at once
    // The maps that are not counted all send rows to points, whose targets are packed with
    // the counted bands (IterationStep::pointStarts).
    bool pointsPacked_ = false;
    std::vector<std::int32_t> pointStarts_;
    std::vector<std::int32_t> pointColumns_;
    std::vector<std::int32_t> pointRows_;
    std::optional<BandClaims> claims_;
    // Taken first, so that its threads are up while the maps are prepared, which they share.
    std::optional<PooledTeam> team_;
    std::mutex outcomeMutex_;
    StepOutcome outcome_;
    StopPoller* poller_ = nullptr;

    // When every map is counted (or sends rows to points): the pixels the last iteration turned
    // white, and whether the current raster was made from them in place (the raster before it
    // is then not kept).
    std::optional<WhitenedList> list_;
    bool listing_ = false;
    bool packOnly_ = false;  // the counted phase only packs: the list took the landings away
    std::int64_t listedPixels_ = 0;

    // What the last iterations found, for choosing how the counts are used.
    bool countsCurrent_ = false;  // the counts describe the raster before the current one
    std::int64_t black_ = 0;
    std::int64_t whitened_ = 0;
    // The raster words that hold them, when packing found them; a listed step's pixels count
    // as scattered, one to a word, so that the list goes on while it holds them.
    std::int64_t whitenedWords_ = 0;

    // Convex regions of the current raster known to be black, while iterations mark; their
    // images under the maps that leave no hole; whether this iteration marks from them.
    int regionMarking_ = -1;
    std::vector<SolidRegion> regions_;
    std::vector<RegionImage> images_;
    bool marksRegions_ = false;
};

FastRender::FastRender(const ParameterBlock& block, const FastRenderOptions& options, int side)
    : side_(side), threads_(threadsFor(options, side)) {
    listedPixels_ = std::min(options.listedPixels >= 0 ? options.listedPixels : kListedPixels,
                             static_cast<std::int64_t>(side) * static_cast<std::int64_t>(side));
    markedRows_ = bandRowsFor(options, side, threads_);
    // Counted maps write to counts that cover the raster, so their bands need no cache-sized
    // buffer; a few per thread balance the load, and fewer bands mean fewer rows mapped twice.
    countedRows_ = std::clamp(side / (2 * threads_), markedRows_, side);
    markedBands_ = bandsOf(kMarkedPlan, side, markedRows_);
    countedBands_ = bandsOf(kCountedPlan, side, countedRows_);
    claims_.emplace(2, std::max(markedBands_.size(), countedBands_.size()));
    team_.emplace(threads_);
    prepareMaps(block, options.counting);
    if (anyCounted_ && threads_ > 1) {
        shareCountedBands();
    }
    allocateBuffers();
    packWithCounts_ = anyCounted_ && !anyMarked_;
    step_.maps = maps_;
    step_.counts = anyCounted_ ? counts_.data() : nullptr;
    step_.landedBits = anyCounted_ ? landedBits_.data() : nullptr;
    step_.vectorLanes = options.vectorLanes;
    regionMarking_ = options.regionMarking;
    double landings = 0.0;
    for (const PreparedMap& map : maps_) {
        landings += map.counted() ? map.mostLandings() : 0.0;
    }
    step_.countsBelowFull = landings <= RowTargets::kFullCount - 1;
}

void FastRender::prepareMaps(const ParameterBlock& block, bool counting) {
    // Preparing a map (its tables, spans and lattice classes) took up to 0.1 ms each; the
    // members of the team share them, each taking the next one left (a thread just started
    // may join late).
    std::vector<const AffineMap*> enabled;
    for (int k = 0; k < kMapCount; ++k) {
        if (block.enabled[static_cast<std::size_t>(k)] != 0) {
            enabled.push_back(&block.maps[static_cast<std::size_t>(k)]);
        }
    }
    std::vector<std::optional<PreparedMap>> prepared(enabled.size());
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(team_->team().members()));
    std::atomic<std::size_t> next{0};
    team_->team().run(
        [&](int member) {
            try {
                for (std::size_t k = next++; k < enabled.size(); k = next++) {
                    prepared[k].emplace(*enabled[k], side_);
                }
            } catch (...) {
                failures[static_cast<std::size_t>(member)] = std::current_exception();
            }
        },
        [] {});
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
    double sharing = 0.0;
    for (std::optional<PreparedMap>& preparedMap : prepared) {
        PreparedMap& map = maps_.emplace_back(std::move(*preparedMap));
        // Counting pays for maps plotted pixel by pixel, as long as the counts of all counted
        // maps together are unlikely to reach 255 on one target.
        if (counting && !map.fillsRuns() && sharing + map.sharingEstimate() <= kCountingBudget) {
            sharing += map.sharingEstimate();
            countedArea_ += map.areaScale();
            map.setCounted(true);
            map.planBands(kCountedPlan, countedRows_);
            anyCounted_ = true;
        } else {
            anyMarked_ = true;
        }
        map.planBands(kMarkedPlan, markedRows_);
    }
    latticeFirst_ =
        anyCounted_ && std::all_of(maps_.begin(), maps_.end(), [](const PreparedMap& map) {
            return !map.counted() || map.latticeClasses() > 0;
        });
    latticeOnly_ = latticeFirst_ && !anyMarked_ &&
                   std::all_of(maps_.begin(), maps_.end(),
                               [](const PreparedMap& map) { return map.latticeClasses() > 0; });
    // A map with a = c = 0 (a fern's stem) gives one point per row: its targets cost less to
    // find on this thread and pack with the counts than a phase of their own with its marks.
    pointsPacked_ = anyCounted_ && anyMarked_ &&
                    std::all_of(maps_.begin(), maps_.end(), [](const PreparedMap& map) {
                        return map.counted() || map.sendsRowsToPoints();
                    });
    if (pointsPacked_) {
        anyMarked_ = false;
    }
}

// The targets of the point maps for the rows of `source` that hold a black pixel, sorted by
// target row.
void FastRender::findPoints(const BitRaster& source) {
    pointRows_.clear();
    pointColumns_.clear();
    for (const PreparedMap& map : maps_) {
        if (map.counted()) {
            continue;
        }
        for (int y = 0; y < side_; ++y) {
            const std::uint64_t* words = source.row(y);
            const int first = source.firstBlackWord(y);
            const int last = source.lastBlackWord(y);
            const bool black =
                first <= last && std::any_of(words + first, words + last + 1,
                                             [](std::uint64_t word) { return word != 0; });
            int column = 0;
            int row = 0;
            if (black && map.rowPoint(y, column, row)) {
                pointRows_.push_back(row);
                pointColumns_.push_back(column);
            }
        }
    }
    // Sorted by row: the rows' counts, their starts, then each column in its place.
    pointStarts_.assign(static_cast<std::size_t>(side_) + 1, 0);
    for (const std::int32_t row : pointRows_) {
        ++pointStarts_[static_cast<std::size_t>(row) + 1];
    }
    for (std::size_t row = 0; row < static_cast<std::size_t>(side_); ++row) {
        pointStarts_[row + 1] += pointStarts_[row];
    }
    std::vector<std::int32_t> next(pointStarts_.begin(), pointStarts_.end() - 1);
    std::vector<std::int32_t> sorted(pointColumns_.size());
    for (std::size_t k = 0; k < pointRows_.size(); ++k) {
        sorted[static_cast<std::size_t>(next[static_cast<std::size_t>(pointRows_[k])]++)] =
            pointColumns_[k];
    }
    pointColumns_.swap(sorted);
    step_.pointStarts = pointStarts_;
    step_.pointColumns = pointColumns_;
}

// The rasters, and the counts with their landed bits, always come from the arena; the marks
// too, unless that would take one more huge page (which counts towards the peak memory whole).
void FastRender::allocateBuffers() {
    const auto pixels = static_cast<std::size_t>(side_) * static_cast<std::size_t>(side_);
    const std::size_t rasterCount = anyCounted_ ? 3 : 2;
    std::size_t needed = rasterCount * HugePageArena::footprint<std::uint64_t>(pixels / 64);
    if (anyCounted_) {
        needed += HugePageArena::footprint<std::uint8_t>(pixels) +
                  HugePageArena::footprint<std::uint64_t>(pixels / 64);
    }
    // Lists serve systems whose maps are all counted but for those that send rows to points.
    const bool listed = anyCounted_ && !anyMarked_ && listedPixels_ > 0;
    // Room for as many pixels per part as are listed at most: in late iterations fewer pixels
    // turn white each time. A step that might outgrow it is finished by packing.
    const std::size_t listCapacity = static_cast<std::size_t>(listedPixels_);
    const std::size_t listStorage = listed ? WhitenedList::storageFor(listCapacity) : 0;
    needed += HugePageArena::footprint<std::uint32_t>(listStorage);
    const std::size_t bandMarks =
        anyMarked_ ? static_cast<std::size_t>(markedRows_) * static_cast<std::size_t>(side_) : 0;
    const std::size_t marks =
        static_cast<std::size_t>(threads_) * HugePageArena::footprint<std::uint8_t>(bandMarks);
    const auto pages = [](std::size_t bytes) {
        return (bytes + HugePageArena::kHugePage - 1) / HugePageArena::kHugePage;
    };
    const bool marksInside = pages(needed + marks) == pages(needed);
    arena_.emplace(needed + (marksInside ? marks : 0));

    scratch_.reserve(static_cast<std::size_t>(threads_));
    for (int member = 0; member < threads_; ++member) {
        scratch_.emplace_back(side_, anyMarked_ ? markedRows_ : 0,
                              marksInside && anyMarked_ ? arena_->take<std::uint8_t>(bandMarks)
                                                        : std::span<std::uint8_t>());
    }
    rasters_.reserve(rasterCount);
    for (std::size_t k = 0; k < rasterCount; ++k) {
        rasters_.emplace_back(side_, arena_->takeUnset<std::uint64_t>(pixels / 64));
    }
    // Each is written before it is read: a raster by fillBlack() or by packing, the counts and
    // their landed bits when counted or marked afresh, the list when collected.
    if (anyCounted_) {
        counts_ = arena_->takeUnset<std::uint8_t>(pixels);
        landedBits_ = arena_->takeUnset<std::uint64_t>(pixels / 64);
    }
    if (listed) {
        list_.emplace(maps_, side_, listCapacity, arena_->takeUnset<std::uint32_t>(listStorage));
    }
}

// Roughly the part of the square the first iteration whitens: the share of sample points, at
// the centres of a grid of cells, that lie outside every image of the square.
double FastRender::firstWhite() const {
    const int samples = std::clamp(side_ / 16, 8, kCoverageSamples);
    const double cell = static_cast<double>(side_) / samples;
    int white = 0;
    for (int i = 0; i < samples; ++i) {
        for (int j = 0; j < samples; ++j) {
            const double x = (j + 0.5) * cell;
            const double y = (i + 0.5) * cell;
            const bool covered =
                std::any_of(maps_.begin(), maps_.end(),
                            [&](const PreparedMap& map) { return map.imageHolds(x, y); });
            white += covered ? 0 : 1;
        }
    }
    return static_cast<double>(white) / (samples * samples);
}

// The counting iteration maps every black pixel of its raster, about the images of the square,
// under every counted map, and its bands' work follows where they land. Each member starts a
// phase with the bands it worked on in the last, so the first iteration's shares carry over;
// left to which core finished its first bands first (that iteration is cheap and says little),
// the fern's counting iteration could leave three of its four bands to one core and take 6.7 ms
// instead of 5.3. So the members start with bands that share out evenly the landings of a grid
// of sample points of the images (sharesByWork).
void FastRender::shareCountedBands() {
    const int samples = std::clamp(side_ / 64, 8, kBandSamples);
    const double cell = static_cast<double>(side_) / samples;
    const double side = static_cast<double>(side_);
    std::vector<double> landings(countedBands_.size(), 0.0);
    for (int i = 0; i < samples; ++i) {
        for (int j = 0; j < samples; ++j) {
            const double x = (j + 0.5) * cell;
            const double y = (i + 0.5) * cell;
            if (std::none_of(maps_.begin(), maps_.end(),
                             [&](const PreparedMap& map) { return map.imageHolds(x, y); })) {
                continue;  // white after the first iteration
            }
            for (const PreparedMap& map : maps_) {
                const double tx = x * map.a() + y * map.b() + map.offsetX();
                const double ty = x * map.c() + y * map.d() + map.offsetY();
                if (map.counted() && tx >= 0.0 && tx < side && ty >= 0.0 && ty < side) {
                    landings[static_cast<std::size_t>(ty) /
                             static_cast<std::size_t>(countedRows_)] += 1.0;
                }
            }
        }
    }
    claims_->setOwners(kCountedPlan, sharesByWork(landings, threads_));
}

// Taking away the pixels that turned white costs per such pixel, counting afresh per black
// pixel: do the cheaper, or just mark while the raster still shrinks fast.
CountsUse FastRender::countsUseFor(std::int64_t t, std::int64_t iterations) const {
    if (latticeOnly_ && t <= kLatticeDepth) {
        return CountsUse::Count;  // spans of cells: nothing is mapped
    }
    if (countsCurrent_ && whitened_ <= black_) {
        return CountsUse::TakeAway;
    }
    if (iterations - t < kIterationsWorthCounting) {
        return CountsUse::Mark;
    }
    if (t == 0) {
        // Counting by lattice classes costs next to nothing, and so does marking by spans, which
        // starts the counts from the second raster.
        if (latticeFirst_) {
            return CountsUse::Count;
        }
        const bool spans = std::all_of(maps_.begin(), maps_.end(), [](const PreparedMap& map) {
            return !map.counted() || map.spanBorder() > 0;
        });
        return !spans && countedArea_ >= kKeptAreaWorthCounting &&
                       firstWhite() <= kWhiteWorthMarkingFirst
                   ? CountsUse::Count
                   : CountsUse::Mark;
    }
    if (marksRegions_) {
        return CountsUse::Mark;
    }
    return 2 * whitened_ <= black_ ? CountsUse::Count : CountsUse::Mark;
}

// How many columns the ranges cover together.
std::int64_t columnsCovered(std::vector<ColumnRange>& ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const ColumnRange& p, const ColumnRange& q) { return p.first < q.first; });
    std::int64_t covered = 0;
    int last = -1;  // the last column counted
    for (const ColumnRange& range : ranges) {
        covered += std::max(0, range.last - std::max(range.first - 1, last));
        last = std::max(last, range.last);
    }
    return covered;
}

// The images of the current raster's solid regions under every map that leaves no hole.
void FastRender::imageRegions() {
    images_.clear();
    for (const SolidRegion& region : regions_) {
        for (std::size_t k = 0; k < maps_.size(); ++k) {
            if (std::optional<SolidRegion> image = region.imageUnder(maps_[k])) {
                images_.push_back({static_cast<int>(k), *image, region.coreFor(maps_[k])});
            }
        }
    }
}

// Whether this iteration marks from the images of the solid regions rather than counting:
// every counted map must leave no hole, and few of their pixels lie outside the cores.
bool FastRender::regionsWorthMarking() const {
    if (regionMarking_ == 0 || images_.empty() || !anyCounted_ ||
        std::any_of(maps_.begin(), maps_.end(), [](const PreparedMap& map) {
            return map.counted() && map.spanBorder() == 0;
        })) {
        return false;
    }
    if (regionMarking_ == 1) {
        return true;
    }
    std::int64_t outside = 0;
    std::int64_t all = 0;
    std::vector<ColumnRange> cores;
    for (std::size_t k = 0; k < maps_.size(); ++k) {
        if (!maps_[k].counted()) {
            continue;
        }
        std::int64_t inside = 0;
        for (int y = kRegionSampleRows / 2; y < side_; y += kRegionSampleRows) {
            cores.clear();
            for (const RegionImage& image : images_) {
                if (image.map == static_cast<int>(k)) {
                    const ColumnRange core = image.core.columnsOnRow(y);
                    if (!core.empty()) {
                        cores.push_back(core);
                    }
                }
            }
            inside += columnsCovered(cores);
        }
        outside += std::max<std::int64_t>(0, black_ - inside * kRegionSampleRows);
        all += black_;
    }
    return static_cast<double>(outside) <= kOutsideCoresWorthMarking * static_cast<double>(all);
}

// The images become the solid regions of the next raster, as long as the iterations mark:
// the largest first, then each that adds enough to those kept (overlapping regions would fill
// the same spans again and again).
void FastRender::keepRegionImages() {
    regions_.clear();
    if (step_.countsUse != CountsUse::Mark) {
        return;
    }
    const int rows = side_ / kRegionSampleRows;
    const auto sampledRow = [](int k) { return kRegionSampleRows / 2 + k * kRegionSampleRows; };
    std::vector<std::pair<std::int64_t, std::size_t>> areas;
    for (std::size_t k = 0; k < images_.size(); ++k) {
        const std::int64_t area = images_[k].image.sampledArea(kRegionSampleRows);
        if (area >= kLeastRegionArea) {
            areas.emplace_back(area, k);
        }
    }
    std::sort(areas.begin(), areas.end(), std::greater<>());
    // The columns of the sampled rows that the kept regions hold.
    std::vector<std::vector<ColumnRange>> held(static_cast<std::size_t>(rows));
    std::vector<ColumnRange> ranges(static_cast<std::size_t>(rows));
    std::vector<ColumnRange> with;
    for (const auto& [area, k] : areas) {
        if (regions_.size() == kMostRegions) {
            break;
        }
        const SolidRegion& image = images_[k].image;
        std::int64_t added = 0;
        for (std::size_t r = 0; r < held.size(); ++r) {
            ranges[r] = image.columnsOnRow(sampledRow(static_cast<int>(r)));
            if (!ranges[r].empty()) {
                with = held[r];
                with.push_back(ranges[r]);
                added += columnsCovered(with) - columnsCovered(held[r]);
            }
        }
        if (added * kRegionSampleRows < std::max(kLeastRegionArea, area / 4)) {
            continue;
        }
        regions_.push_back(image);
        for (std::size_t r = 0; r < held.size(); ++r) {
            if (!ranges[r].empty()) {
                held[r].push_back(ranges[r]);
            }
        }
    }
}

// Whether this iteration takes away from the list of the pixels that turned white.
bool FastRender::listsTakeAway() const {
    if (!list_ || step_.countsUse != CountsUse::TakeAway) {
        return false;
    }
    const bool sparse = whitened_ <= kSparsePixelsPerWord * whitenedWords_;
    return whitened_ <= listedPixels_ || (sparse && whitened_ <= 2 * listedPixels_);
}

// Lists the pixels that turned white, on two threads unless they are few. On one, writing the
// list took most of the time (3 ns a pixel: its lines had last been written by the other
// core); two each write their own share.
void FastRender::collectList(const BitRaster& before, const BitRaster& now, RenderTeam& team,
                             const std::function<void()>& whileWaiting) {
    if (team.members() < 2 || whitened_ < kFewToCollectApart) {
        list_->collect(before, now);
        return;
    }
    team.run(
        [&](int member) {
            if (member < 2) {
                list_->collectPart(member, 2, before, now);
            }
        },
        whileWaiting);
    list_->endCollect(2);
}

// One iteration from the list, in place; two threads share it unless it is small. False when
// stopped.
bool FastRender::takeAwayListed(BitRaster& raster, RenderTeam& team,
                                const std::function<bool()>& keepGoing,
                                const std::function<void()>& whileWaiting) {
    const int parts =
        team.members() >= 2 && whitened_ * static_cast<std::int64_t>(maps_.size()) >= kFewToShare
            ? 2
            : 1;
    list_->beginStep();
    if (parts == 1) {
        if (!list_->takeAwayPart(0, 1, counts_.data(), raster, step_.vectorLanes, keepGoing)) {
            return false;
        }
    } else {
        // Only the calling thread asks the progress; the other sees the stop through the flag.
        const std::function<bool()> notStopped = [this] { return !poller_->stopped(); };
        std::atomic<bool> finished[2] = {false, false};
        team.run(
            [&](int member) {
                if (member < 2) {
                    finished[member] =
                        list_->takeAwayPart(member, 2, counts_.data(), raster, step_.vectorLanes,
                                            member == 0 ? keepGoing : notStopped);
                }
            },
            whileWaiting);
        if (!finished[0] || !finished[1]) {
            return false;
        }
    }
    list_->endStep(parts, counts_.data(), raster);
    return true;
}

// A thread's part of a phase: bands taken one at a time until none is left.
void FastRender::work(int member) {
    BandScatter& bandScatter = scratch_[static_cast<std::size_t>(member)];
    int visits = 0;
    const std::function<bool()> keepGoing = [&] {
        if (member == 0 && ++visits % 16 == 0) {
            poller_->pollIfDue();
        }
        return !poller_->stopped();
    };
    const bool pack = countingPhase_ == packWithCounts_;
    const std::vector<TargetBand>& bands = countingPhase_ ? countedBands_ : markedBands_;
    StepOutcome found;
    std::size_t position = 0;
    for (std::size_t band = claims_->next(member, position); band < bands.size();
         band = claims_->next(member, position)) {
        if (!packOnly_ && !bandScatter.scatter(step_, bands[band], countingPhase_, keepGoing)) {
            return;
        }
        if (pack) {
            bandScatter.pack(step_, *next_, bands[band], found);
        }
    }
    std::lock_guard lock(outcomeMutex_);
    outcome_.add(found);
}

std::optional<MonochromePicture> FastRender::run(std::int64_t iterations, RenderProgress& progress,
                                                 PhaseClock& clock,
                                                 const PictureObserver& observer) {
    BitRaster* current = &rasters_[0];
    next_ = &rasters_[1];
    BitRaster* previous = anyCounted_ ? &rasters_[2] : nullptr;
    current->fillBlack();
    black_ = static_cast<std::int64_t>(side_) * side_;
    if (anyCounted_ && regionMarking_ != 0) {
        regions_.assign(1, SolidRegion::square(side_));
    }
    if (observer) {
        observer(0, current->toPicture());
    }

    ProgressSession session(progress);
    RenderTeam& team = team_->team();
    StopPoller poller(progress);
    poller_ = &poller;
    const std::function<void(int)> work = [this](int member) { this->work(member); };
    const std::function<void()> whileWaiting = [&] { poller.pollIfDue(); };
    const auto phase = [&](bool counting, bool alone) {
        countingPhase_ = counting;
        claims_->reset(counting ? kCountedPlan : kMarkedPlan,
                       counting ? countedBands_.size() : markedBands_.size(),
                       alone ? 1 : team.members());
        if (alone) {
            work(0);  // takes every band
        } else {
            team.run(work, whileWaiting);
        }
    };
    const auto finish = [&](const BitRaster& last) {
        MonochromePicture picture = last.toPicture();
        clock.lap(&RenderPhases::packing);
        return picture;
    };
    const auto iterated = [&](std::int64_t t) {
        progress.setPosition(progressPosition(t, iterations));
        clock.lap(t == 0 ? &RenderPhases::firstIteration : &RenderPhases::laterIterations);
        clock.countIteration();
    };
    const auto settled = [&](std::int64_t t) {
        // A raster the step leaves unchanged stays so for good.
        if (t + 1 < iterations) {
            progress.setPosition(progressPosition(iterations - 1, iterations));
        }
    };
    const std::function<bool()> keepGoing = [&] {
        poller.pollIfDue();
        return !poller.stopped();
    };
    clock.lap(&RenderPhases::setup);

    for (std::int64_t t = 0; t < iterations; ++t) {
        poller.pollNow();
        if (poller.stopped()) {
            return std::nullopt;
        }
        step_.source = current;
        step_.fullSource = t == 0;
        step_.latticeDepth = (t == 0 && latticeFirst_) || (latticeOnly_ && t <= kLatticeDepth)
                                 ? static_cast<int>(t)
                                 : -1;
        imageRegions();
        marksRegions_ = t > 0 && regionsWorthMarking();
        step_.regionImages =
            marksRegions_ ? std::span<const RegionImage>(images_) : std::span<const RegionImage>();
        step_.countsUse = countsUseFor(t, iterations);
        keepRegionImages();
        if (listsTakeAway()) {
            if (!listing_) {
                collectList(*previous, *current, team, whileWaiting);
                listing_ = true;
            }
            if (!takeAwayListed(*current, team, keepGoing, whileWaiting)) {
                return std::nullopt;
            }
            if (list_->complete()) {
                iterated(t);
                if (list_->whitened() == 0) {
                    settled(t);
                    return finish(*current);
                }
                if (observer) {
                    observer(t + 1, current->toPicture());
                }
                whitened_ = list_->whitened();
                whitenedWords_ = whitened_;
                black_ -= whitened_;
                continue;
            }
            // Too many pixels turned white to list them: the counts are up to date, and the
            // next raster is packed from them as after counting afresh.
            listing_ = false;
            packOnly_ = true;
            step_.countsUse = CountsUse::Count;
        } else {
            if (listing_ && step_.countsUse == CountsUse::TakeAway) {
                list_->restore(*current, *previous, counts_.data(), landedBits_.data());
            }
            listing_ = false;
        }
        step_.counted = step_.countsUse == CountsUse::TakeAway ? previous : nullptr;
        outcome_ = StepOutcome{};
        if (pointsPacked_) {
            findPoints(*current);
        }
        if (anyCounted_) {
            // Taking away a few pixels costs less than waking the other threads.
            const bool alone = step_.countsUse == CountsUse::TakeAway && whitened_ < kFewToShare;
            phase(true, alone);  // first: packing reads the counts
            packOnly_ = false;
        }
        if (!packWithCounts_ && !poller.stopped()) {
            phase(false, false);
        }
        if (poller.stopped()) {
            return std::nullopt;
        }
        iterated(t);
        if (!outcome_.changed) {
            settled(t);
            return finish(*next_);
        }
        if (observer) {
            observer(t + 1, next_->toPicture());
        }
        if (anyCounted_) {
            std::swap(previous, current);
            countsCurrent_ = step_.countsUse != CountsUse::Mark && !outcome_.saturated;
        }
        std::swap(current, next_);
        // Each raster contains the next, so the black pixels are those before less those
        // that turned white.
        whitened_ = outcome_.whitened;
        whitenedWords_ = outcome_.whitenedWords;
        black_ -= whitened_;
    }
    return finish(*current);
}

}  // namespace

std::optional<MonochromePicture> renderPictureFast(const ParameterBlock& block,
                                                   RenderProgress& progress,
                                                   const FastRenderOptions& options) {
    if (!isValidSizeIndex(block.sizeIndex)) {
        throw std::invalid_argument("picture size index outside 0..5");
    }
    const int side = 1 << shiftForSizeIndex(block.sizeIndex);
    PhaseClock clock(options.phases);  // starts afresh, also when nothing is iterated
    const std::int64_t iterations = iterationsFor(block);
    if (iterations <= 0) {
        BitRaster full(side);
        full.fillBlack();
        ProgressSession session(progress);
        MonochromePicture picture = full.toPicture();
        if (options.onPicture) {
            options.onPicture(0, picture);
        }
        return picture;
    }
    FastRender render(block, options, side);  // every buffer, before the progress opens
    return render.run(iterations, progress, clock, options.onPicture);
}

}  // namespace orv
