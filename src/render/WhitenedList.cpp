#include "render/WhitenedList.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "document/ParameterBlock.h"
#include "render/BitCount.h"
#include "render/PixelKernel.h"
#include "render/SpinPause.h"

namespace orv {

namespace {

// How many listed pixels are taken away between two questions to keepGoing.
constexpr std::size_t kPixelsBetweenQuestions = 4096;

// Pixels whose landings are found, and their counts fetched, before any is taken away.
constexpr std::size_t kChunkPixels = 64;

// How many found targets are settled at a time while waiting for the other part.
constexpr std::size_t kSettledWhileWaiting = 256;

// How many pixels ahead the word of a pixel to clear is fetched.
constexpr std::size_t kClearAhead = 16;

// How many list entries ahead of the next a collecting part fetches for writing.
constexpr std::size_t kCollectAhead = 256;

// How many values a vector store of the landing kernel may write past the last landing.
constexpr std::size_t kVectorSlack = 4;

// How many landings handed over by the other part are taken away at a time, while the counts
// of as many after them are fetched.
constexpr std::size_t kReceivedAhead = 64;

}  // namespace

WhitenedList::WhitenedList(std::span<const PreparedMap> maps, int side, std::size_t partCapacity,
                           std::span<std::uint32_t> storage)
    : side_(side),
      shift_(std::countr_zero(static_cast<unsigned>(side))),
      partCapacity_(partCapacity),
      splitRow_(side / 2),
      pixels_(storage.data()),
      next_(storage.data() + 2 * (partCapacity + 1)),
      handed_(storage.data() + 4 * (partCapacity + 1)) {
    if (storage.size() < storageFor(partCapacity)) {
        throw std::invalid_argument("list storage too small");
    }
    for (const PreparedMap& map : maps) {
        if (map.counted()) {
            terms_[mapCount_++] = {map.a(),
                                   map.b(),
                                   map.c(),
                                   map.d(),
                                   map.offsetX(),
                                   map.offsetY(),
                                   static_cast<double>(side),
                                   shift_};
        }
    }
    if (std::any_of(maps.begin(), maps.end(),
                    [](const PreparedMap& map) { return !map.counted(); })) {
        points_.emplace(maps, side);
    }
}

void WhitenedList::collectPart(int part, int parts, const BitRaster& before, const BitRaster& now) {
    // The parts take blocks of rows in turn, which shares the pixels out about evenly however
    // they are spread over the rows. Part 0 lists its pixels where the list lives, part 1
    // where the landings handed over will, to be moved behind part 0's by endCollect().
    constexpr int kBlockRows = 16;
    std::uint32_t* const pixels = part == 0 ? pixels_ : handed_;
    const std::size_t room = 2 * partCapacity_;
    // In locals: a pixel stored could otherwise be the list's length or its pointer, read
    // again and written back for every pixel.
    std::size_t size = 0;
    for (int block = part * kBlockRows; block < side_ && size <= room;
         block += parts * kBlockRows) {
        for (int y = block; y < std::min(block + kBlockRows, side_); ++y) {
            const std::uint64_t* was = before.row(y);
            const std::uint64_t* is = now.row(y);
            const std::uint32_t rowStart = static_cast<std::uint32_t>(y) << shift_;
            for (std::uint32_t words = now.whitenedWords(y); words != 0; words &= words - 1) {
                const int i = std::countr_zero(words);
                const std::uint64_t gone = was[i] & ~is[i];
                if (size + static_cast<std::size_t>(bitCount(gone)) > room) {
                    size = room + 1;  // overflowed
                    break;
                }
                // The lines written next belonged to the other core as often as not: asked
                // for ahead, their transfers overlap.
                __builtin_prefetch(pixels + std::min(size + kCollectAhead, room), 1);
                for (std::uint64_t bits = gone; bits != 0; bits &= bits - 1) {
                    pixels[size++] = rowStart + static_cast<std::uint32_t>(64 * i) +
                                     static_cast<std::uint32_t>(std::countr_zero(bits));
                }
            }
        }
    }
    collected_[part] = size;
    if (points_ && part == 0) {
        points_->reset(before);  // the step takes the listed pixels out
    }
}

void WhitenedList::endCollect(int parts) {
    const std::size_t lower = collected_[0];
    const std::size_t upper = parts == 2 ? collected_[1] : 0;
    if (lower + upper > 2 * partCapacity_) {
        throw std::logic_error("more pixels turned white than the list holds");
    }
    const std::size_t segment = partCapacity_ + 1;
    if (lower <= segment && upper <= segment) {
        std::copy(handed_, handed_ + upper, pixels_ + segment);
        segmentSize_[0] = lower;
        segmentSize_[1] = upper;
    } else {
        // One part listed more than a segment holds: the pixels are dealt out evenly.
        const std::size_t total = lower + upper;
        const std::size_t first = (total + 1) / 2;
        const auto pixel = [&](std::size_t k) {
            return k < lower ? pixels_[k] : handed_[k - lower];
        };
        for (std::size_t k = 0; k < total; ++k) {
            next_[k < first ? k : segment + k - first] = pixel(k);
        }
        std::swap(pixels_, next_);
        segmentSize_[0] = first;
        segmentSize_[1] = total - first;
    }
    size_ = lower + upper;
    complete_ = true;
}

void WhitenedList::restore(BitRaster& now, BitRaster& before, const std::uint8_t* counts,
                           std::uint64_t* landedBits) const {
    const std::size_t words =
        static_cast<std::size_t>(side_) * static_cast<std::size_t>(now.wordsPerRow());
    std::copy(now.row(0), now.row(0) + words, before.row(0));
    std::copy(now.row(0), now.row(0) + words, landedBits);
    if (points_) {
        for (const std::uint32_t target : points_->targets()) {
            landedBits[target >> 6] &= ~(std::uint64_t{counts[target] == 0} << (target & 63));
        }
    }
    for (int y = 0; y < side_; ++y) {
        now.setWhitenedWords(y, 0);
    }
    std::uint64_t* restored = before.row(0);
    for (const int segment : {0, 1}) {
        for (const std::uint32_t pixel : listed(segment)) {
            restored[pixel >> 6] |= std::uint64_t{1} << (pixel & 63);
            const int y = static_cast<int>(pixel >> shift_);
            const int word =
                static_cast<int>((pixel & (static_cast<std::uint32_t>(side_) - 1)) >> 6);
            now.setWhitenedWords(y, now.whitenedWords(y) | std::uint32_t{1} << word);
        }
    }
}

void WhitenedList::beginStep() {
    mapped_[0].store(false, std::memory_order_relaxed);
    mapped_[1].store(false, std::memory_order_relaxed);
    pointsReady_.store(false, std::memory_order_relaxed);
    uncovered_.clear();
}

bool WhitenedList::takeAwayPart(int part, int parts, std::uint8_t* counts, BitRaster& raster,
                                int lanes, const std::function<bool()>& keepGoing) {
    const auto started = std::chrono::steady_clock::now();
    if (points_ && part == 0) {
        // The rows that lost their last black pixel leave their points uncovered. Part 1 asks
        // the points only once part 0 says so.
        points_->remove(listed(0), listed(1), uncovered_);
        pointsReady_.store(true, std::memory_order_release);
    }
    // Part 0 takes the targets below the split row, part 1 the rest (parts == 2).
    const std::uint32_t middle = static_cast<std::uint32_t>(splitRow_) << shift_;
    const std::uint32_t first = parts == 2 && part == 1 ? middle : 0;
    const std::uint32_t end = parts == 2 && part == 0 ? middle : ~std::uint32_t{0};
    // Two parts each map half of the list and hand the other the landings on its rows, until
    // the room for them would overflow: from there on a part keeps only its own landings, and
    // the other maps the rest of that half again for its own. The list is its two segments
    // one after the other; each part listed one of them, mostly its half.
    const std::size_t half = (size_ + 1) / 2;
    const bool shared = parts == 2;
    const std::size_t ownFrom = shared && part == 1 ? half : 0;
    const std::size_t ownTo = shared && part == 0 ? half : size_;
    std::uint32_t* const handed = handed_ + static_cast<std::size_t>(part) * (partCapacity_ + 1);
    std::size_t handedSize = 0;
    std::size_t handedUntil = shared ? ownTo : ownFrom;  // where handing over stopped
    // The landings of one chunk are found, and their counts fetched, while those of the chunk
    // before are taken away. Only the part's own counts are fetched: fetching the other's for
    // writing would take its lines away from it.
    std::array<std::array<std::uint32_t, kChunkPixels * kMapCount + 4>, 2> landings;
    // The pixels from..to of the list, which lie in a segment whose first pixel is the list's
    // `start`-th.
    const auto land = [&](const std::uint32_t* segment, std::size_t start, std::size_t from,
                          std::size_t to, std::uint32_t* targets) {
        const std::size_t pixels = std::min(kChunkPixels, to - from);
        bool handing = shared && from < handedUntil;
        // The kernel may write a whole vector past the last landing it hands over.
        if (handing && handedSize + pixels * mapCount_ + kVectorSlack > partCapacity_ + 1) {
            handedUntil = from;
            handing = false;
        }
        std::size_t landed = 0;
        for (std::size_t m = 0; m < mapCount_; ++m) {
            const ListedLandings found =
                landListedPixels(segment + (from - start), pixels, terms_[m], first, end,
                                 targets + landed, handing ? handed + handedSize : nullptr, lanes);
            landed += found.inside;
            handedSize += found.outside;
        }
        for (std::size_t k = 0; k < landed; ++k) {
            __builtin_prefetch(counts + targets[k], 1);
        }
        return landed;
    };
    // Each pixel's count drops to zero at most once, so a batch adds at most as many pixels
    // to the part's list as it has landings; the slot past the part's room takes the write
    // that the branch-free append below makes beyond the last. From a batch that might not fit
    // on, the part only takes landings away, and the step is left to packing (see endStep()).
    std::uint32_t* const next = next_ + static_cast<std::size_t>(part) * (partCapacity_ + 1);
    bool complete = true;
    std::size_t found = 0;
    const auto takeAway = [&](const std::uint32_t* targets, std::size_t landed) {
        complete = complete && found + landed <= partCapacity_;
        // In locals: a count's byte stored could otherwise be any of the captured variables,
        // read again and written back for every landing.
        std::uint8_t* const bytes = counts;
        if (!complete) {
            for (std::size_t k = 0; k < landed; ++k) {
                --bytes[targets[k]];
            }
            return;
        }
        std::uint32_t* const emptied = next;
        std::size_t listed = found;
        for (std::size_t k = 0; k < landed; ++k) {
            const std::uint32_t target = targets[k];
            // Whether the count dropped to zero is as good as random: no branch on it.
            const std::uint8_t left = --bytes[target];
            emptied[listed] = target;
            listed += left == 0 ? 1 : 0;
        }
        found = listed;
    };
    // The targets found so far, from `settled` on, are listed unless a point keeps them black,
    // and cleared in the raster: next[0..kept) then holds those. At most `most` at a time.
    std::uint64_t* const words = raster.row(0);
    std::size_t settled = 0;
    std::size_t kept = 0;
    const auto settle = [&](std::size_t most) {
        // In locals, as in takeAway.
        const std::size_t to = std::min(found, settled + most);
        const std::size_t ahead = found;
        std::uint32_t* const targets = next;
        std::size_t listed = kept;
        for (std::size_t k = settled; k < to; ++k) {
            const std::uint32_t target = targets[k];
            __builtin_prefetch(words + (targets[std::min(k + kClearAhead, ahead)] >> 6), 1);
            if (points_ && points_->covers(target)) {
                continue;  // a row that holds black lands on it, whatever its count
            }
            targets[listed++] = target;
            words[target >> 6] &= ~(std::uint64_t{1} << (target & 63));
        }
        settled = to;
        kept = listed;
    };
    const auto mapAndTakeAwayIn = [&](int segment, std::size_t from, std::size_t to) {
        const std::uint32_t* const pixels = listed(segment).data();
        const std::size_t start = segment == 0 ? 0 : segmentSize_[0];
        std::size_t pending = from < to ? land(pixels, start, from, to, landings[0].data()) : 0;
        for (std::size_t chunk = from; chunk < to; chunk += kChunkPixels) {
            const std::size_t index = (chunk - from) / kChunkPixels;
            if (index > 0 && index % (kPixelsBetweenQuestions / kChunkPixels) == 0 &&
                !keepGoing()) {
                return false;
            }
            const std::uint32_t* targets = landings[index % 2].data();
            const std::size_t landed = pending;
            pending = chunk + kChunkPixels < to ? land(pixels, start, chunk + kChunkPixels, to,
                                                       landings[(index + 1) % 2].data())
                                                : 0;
            takeAway(targets, landed);
        }
        return true;
    };
    const auto mapAndTakeAway = [&](std::size_t from, std::size_t to) {
        const std::size_t second = segmentSize_[0];  // where the second segment starts
        return mapAndTakeAwayIn(0, from, std::min(to, second)) &&
               mapAndTakeAwayIn(1, std::max(from, second), to);
    };
    if (!mapAndTakeAway(ownFrom, ownTo)) {
        return false;
    }
    auto waited = std::chrono::steady_clock::duration::zero();
    if (shared) {
        handedSize_[part] = handedSize;
        handedUntil_[part] = handedUntil;
        mapped_[part].store(true, std::memory_order_release);
        const int other = 1 - part;
        // While the other maps, the targets found so far are settled, part 1's once part 0
        // has uncovered the points.
        auto waiting = std::chrono::steady_clock::now();
        for (int spins = 1; !mapped_[other].load(std::memory_order_acquire); ++spins) {
            if (spins % 64 == 0 && !keepGoing()) {
                return false;
            }
            if (complete && settled < found &&
                (!points_ || part == 0 || pointsReady_.load(std::memory_order_acquire))) {
                const auto settling = std::chrono::steady_clock::now();
                waited += settling - waiting;
                settle(kSettledWhileWaiting);
                waiting = std::chrono::steady_clock::now();
                continue;
            }
            spinPause();
        }
        waited += std::chrono::steady_clock::now() - waiting;
        // The other part's landings on this part's rows, their counts fetched a batch ahead.
        const std::uint32_t* const received =
            handed_ + static_cast<std::size_t>(other) * (partCapacity_ + 1);
        const std::size_t count = handedSize_[other];
        for (std::size_t k = 0; k < std::min(count, kReceivedAhead); ++k) {
            __builtin_prefetch(counts + received[k], 1);
        }
        for (std::size_t from = 0; from < count; from += kReceivedAhead) {
            const std::size_t batch = std::min(kReceivedAhead, count - from);
            for (std::size_t k = from + kReceivedAhead;
                 k < std::min(count, from + 2 * kReceivedAhead); ++k) {
                __builtin_prefetch(counts + received[k], 1);
            }
            takeAway(received + from, batch);
        }
        // The rest of the other half, where the other stopped handing over.
        handedUntil = 0;  // nothing more is handed
        if (!mapAndTakeAway(handedUntil_[other], other == 1 ? size_ : half)) {
            return false;
        }
    }
    // Settled after the counts: neighbouring targets share a word, and clearing bits as the
    // counts drop would chain every change of a word to the loads of the counts before it.
    // The parts' rows, hence their words, are apart. An incomplete part lists the targets it
    // cleared, for endStep() to restore.
    if (complete) {
        settle(found);
    }
    parts_[part] = {kept, complete, std::chrono::steady_clock::now() - started - waited};
    return true;
}

void WhitenedList::endStep(int parts, const std::uint8_t* counts, BitRaster& raster) {
    std::uint32_t* const next = next_;
    std::uint64_t* const words = raster.row(0);
    const std::size_t listed = parts_[0].listed + (parts == 2 ? parts_[1].listed : 0);
    complete_ = parts_[0].complete && (parts == 1 || parts_[1].complete) &&
                listed + uncovered_.size() <= 2 * (partCapacity_ + 1);
    if (!complete_) {
        // The raster goes back to how the step found it: the parts that listed their pixels
        // have cleared them.
        for (int part = 0; part < parts; ++part) {
            const std::uint32_t* cleared =
                next + static_cast<std::size_t>(part) * (partCapacity_ + 1);
            for (std::size_t k = 0; k < parts_[part].listed; ++k) {
                words[cleared[k] >> 6] |= std::uint64_t{1} << (cleared[k] & 63);
            }
        }
        uncovered_.clear();
        size_ = 0;
        segmentSize_[0] = 0;
        segmentSize_[1] = 0;
        return;
    }
    // Each part's targets stay where it listed them, the next step's segments: the other
    // core would have to fetch them to move them.
    const std::size_t segment = partCapacity_ + 1;
    std::size_t found[2] = {parts_[0].listed, parts == 2 ? parts_[1].listed : 0};
    // Points no row keeps black any more turn white unless a counted map lands on them (or
    // they turned white above already).
    for (const std::uint32_t target : uncovered_) {
        const std::uint64_t bit = std::uint64_t{1} << (target & 63);
        if (counts[target] == 0 && (words[target >> 6] & bit) != 0) {
            words[target >> 6] &= ~bit;
            const int into = found[0] < segment ? 0 : 1;
            next[static_cast<std::size_t>(into) * segment + found[into]++] = target;
        }
    }
    uncovered_.clear();
    std::swap(pixels_, next_);
    segmentSize_[0] = found[0];
    segmentSize_[1] = found[1];
    size_ = found[0] + found[1];
    if (parts == 2) {
        splitRow_ = balancedSplit(splitRow_, side_, parts_[0].busy.count(), parts_[1].busy.count());
    }
}

int balancedSplit(int split, int side, std::int64_t lowerBusy, std::int64_t upperBusy) {
    // Each part's time is taken as spread evenly over its rows; the split moves by the rows
    // that carry half the difference, in whole steps of a few rows.
    constexpr int kStep = 8;
    const int least = std::max(kStep, side / 8);
    // A difference within a sixteenth of the whole is as likely the machine's noise as the
    // rows': the split stays, and so do the rows' counts in their cores' caches.
    if (side < 4 * least || lowerBusy <= 0 || upperBusy <= 0 ||
        16 * std::abs(upperBusy - lowerBusy) <= upperBusy + lowerBusy) {
        return split;
    }
    const double difference = static_cast<double>(upperBusy - lowerBusy) / 2;
    const double rows = difference > 0
                            ? difference * (side - split) / static_cast<double>(upperBusy)
                            : difference * split / static_cast<double>(lowerBusy);
    const int moved = split + static_cast<int>(rows) / kStep * kStep;
    return std::clamp(moved, least, side - least);
}

}  // namespace orv
