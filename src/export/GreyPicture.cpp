#include "export/GreyPicture.h"

#include <algorithm>
#include <stdexcept>

namespace orv {

namespace {

// How much of each source pixel one target pixel covers along one axis. Lengths are counted in
// 1/target of a source pixel so that every edge falls on a whole number: target pixel i covers
// [i*source, (i+1)*source), source pixel j covers [j*target, (j+1)*target).
struct Coverage {
    int first = 0;                        // the first source pixel touched
    std::vector<std::int64_t> weights{};  // of source pixels first, first+1, ...
};

std::vector<Coverage> coverages(int source, int target) {
    std::vector<Coverage> result(static_cast<std::size_t>(target));
    for (int i = 0; i < target; ++i) {
        const std::int64_t begin = std::int64_t{i} * source;
        const std::int64_t end = begin + source;
        Coverage& coverage = result[static_cast<std::size_t>(i)];
        coverage.first = static_cast<int>(begin / target);
        for (std::int64_t j = coverage.first; j * target < end; ++j) {
            const std::int64_t overlap =
                std::min(end, (j + 1) * target) - std::max(begin, j * target);
            coverage.weights.push_back(overlap);
        }
    }
    return result;
}

}  // namespace

GreyPicture shrinkToGrey(const MonochromePicture& picture, int side) {
    const int source = picture.side();
    if (side < 1 || side > source) {
        throw std::invalid_argument("a picture is only shrunk to a side from 1 to its own");
    }
    const auto axis = coverages(source, side);
    // Each target pixel is covered by weights summing to source*source; sums stay far below
    // 2^63 for any raster side.
    const std::int64_t whole = std::int64_t{source} * source;

    GreyPicture grey{.side = side,
                     .pixels = std::vector<std::uint8_t>(static_cast<std::size_t>(side) *
                                                         static_cast<std::size_t>(side))};
    std::vector<std::int64_t> white(static_cast<std::size_t>(side));
    for (int row = 0; row < side; ++row) {
        std::ranges::fill(white, 0);
        const Coverage& rows = axis[static_cast<std::size_t>(row)];
        for (std::size_t r = 0; r < rows.weights.size(); ++r) {
            // Picture rows run top first while isBlack counts y from the bottom.
            const int y = source - 1 - (rows.first + static_cast<int>(r));
            for (int column = 0; column < side; ++column) {
                const Coverage& columns = axis[static_cast<std::size_t>(column)];
                std::int64_t sum = 0;
                for (std::size_t c = 0; c < columns.weights.size(); ++c) {
                    if (!picture.isBlack(columns.first + static_cast<int>(c), y)) {
                        sum += columns.weights[c];
                    }
                }
                white[static_cast<std::size_t>(column)] += sum * rows.weights[r];
            }
        }
        for (int column = 0; column < side; ++column) {
            grey.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(side) +
                        static_cast<std::size_t>(column)] =
                static_cast<std::uint8_t>(
                    (255 * white[static_cast<std::size_t>(column)] + whole / 2) / whole);
        }
    }
    return grey;
}

}  // namespace orv
