#include "render/WhitenedList.h"

#include <algorithm>
#include <array>
#include <bit>
#include <stdexcept>
#include <utility>

#include "document/ParameterBlock.h"

namespace orv {

namespace {

// How many listed pixels are taken away between two questions to keepGoing.
constexpr std::size_t kPixelsBetweenQuestions = 4096;

// Pixels whose landings are found, and their counts fetched, before any is taken away.
constexpr std::size_t kChunkPixels = 64;

// How many pixels ahead the word of a pixel to clear is fetched.
constexpr std::size_t kClearAhead = 16;

// A map's terms copied into locals: the counts are bytes, and a store through a byte pointer
// could otherwise alias any field the loop reads.
struct MapTerms {
    const double* xa;
    const double* xc;
    double b;
    double d;
    double ne;
    double nf;
};

}  // namespace

WhitenedList::WhitenedList(int side, std::size_t capacity, std::span<std::uint32_t> storage)
    : side_(side),
      shift_(std::countr_zero(static_cast<unsigned>(side))),
      capacity_(capacity),
      pixels_(storage.data()),
      next_(storage.data() + capacity + 1) {
    if (storage.size() < storageFor(capacity)) {
        throw std::invalid_argument("list storage too small");
    }
}

void WhitenedList::collect(const BitRaster& before, const BitRaster& now) {
    size_ = 0;
    for (int y = 0; y < side_; ++y) {
        const std::uint64_t* was = before.row(y);
        const std::uint64_t* is = now.row(y);
        const std::uint32_t rowStart = static_cast<std::uint32_t>(y) << shift_;
        for (std::uint32_t words = now.whitenedWords(y); words != 0; words &= words - 1) {
            const int i = std::countr_zero(words);
            for (std::uint64_t bits = was[i] & ~is[i]; bits != 0; bits &= bits - 1) {
                if (size_ == capacity_) {
                    throw std::logic_error("more pixels turned white than the list holds");
                }
                pixels_[size_++] = rowStart + static_cast<std::uint32_t>(64 * i) +
                                   static_cast<std::uint32_t>(std::countr_zero(bits));
            }
        }
    }
}

void WhitenedList::restore(BitRaster& now, BitRaster& before, std::uint64_t* landedBits) const {
    const std::size_t words =
        static_cast<std::size_t>(side_) * static_cast<std::size_t>(now.wordsPerRow());
    std::copy(now.row(0), now.row(0) + words, before.row(0));
    std::copy(now.row(0), now.row(0) + words, landedBits);
    for (int y = 0; y < side_; ++y) {
        now.setWhitenedWords(y, 0);
    }
    std::uint64_t* restored = before.row(0);
    for (std::size_t k = 0; k < size_; ++k) {
        const std::uint32_t pixel = pixels_[k];
        restored[pixel >> 6] |= std::uint64_t{1} << (pixel & 63);
        const int y = static_cast<int>(pixel >> shift_);
        const int word = static_cast<int>((pixel & (static_cast<std::uint32_t>(side_) - 1)) >> 6);
        now.setWhitenedWords(y, now.whitenedWords(y) | std::uint32_t{1} << word);
    }
}

bool WhitenedList::takeAway(std::span<const PreparedMap> maps, std::uint8_t* counts,
                            BitRaster& raster, const std::function<bool()>& keepGoing) {
    std::array<MapTerms, kMapCount> terms{};
    std::size_t mapCount = 0;
    for (const PreparedMap& map : maps) {
        terms[mapCount++] = {map.columnX(), map.columnY(), map.b(),
                             map.d(),       map.offsetX(), map.offsetY()};
    }
    // Each pixel's count drops to zero at most once, so the next list holds at most as many
    // pixels as there are landings; the slot past them takes the write that the branch-free
    // append below makes beyond the last.
    std::uint32_t* next = next_;
    std::size_t found = 0;
    std::array<std::uint32_t, kChunkPixels * kMapCount> landing;
    std::uint64_t* words = raster.row(0);
    const double side = side_;
    const std::uint32_t columnMask = static_cast<std::uint32_t>(side_) - 1;
    for (std::size_t from = 0; from < size_; from += kPixelsBetweenQuestions) {
        if (from > 0 && !keepGoing()) {
            return false;
        }
        const std::size_t to = std::min(size_, from + kPixelsBetweenQuestions);
        for (std::size_t chunk = from; chunk < to; chunk += kChunkPixels) {
            const std::size_t chunkEnd = std::min(to, chunk + kChunkPixels);
            std::size_t landings = 0;
            for (std::size_t k = chunk; k < chunkEnd; ++k) {
                const std::uint32_t pixel = pixels_[k];
                const std::uint32_t x = pixel & columnMask;
                const double y = static_cast<double>(pixel >> shift_);
                for (std::size_t m = 0; m < mapCount; ++m) {
                    const MapTerms& map = terms[m];
                    // The defining loop's doubles: x*a + (y*b + N*e), x*c + (y*d + N*f).
                    const double tx = map.xa[x] + (y * map.b + map.ne);
                    const double ty = map.xc[x] + (y * map.d + map.nf);
                    if (!(tx > -1.0 && tx < side && ty > -1.0 && ty < side)) {
                        continue;
                    }
                    const std::uint32_t target =
                        (static_cast<std::uint32_t>(static_cast<int>(ty)) << shift_) +
                        static_cast<std::uint32_t>(static_cast<int>(tx));
                    __builtin_prefetch(counts + target, 1);
                    landing[landings++] = target;
                }
            }
            for (std::size_t k = 0; k < landings; ++k) {
                const std::uint32_t target = landing[k];
                // Whether the count dropped to zero is as good as random: no branch on it.
                const std::uint8_t left = --counts[target];
                next[found] = target;
                found += left == 0 ? 1 : 0;
            }
        }
    }
    // Cleared afterwards: neighbouring targets share a word, and clearing bits as the counts
    // drop would chain every change of a word to the loads of the counts before it.
    for (std::size_t k = 0; k < found; ++k) {
        const std::uint32_t target = next[k];
        __builtin_prefetch(words + (next[std::min(k + kClearAhead, found)] >> 6), 1);
        words[target >> 6] &= ~(std::uint64_t{1} << (target & 63));
    }
    std::swap(pixels_, next_);
    size_ = found;
    return true;
}

}  // namespace orv
