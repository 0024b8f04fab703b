#include "render/BoxDimension.h"

#include <cmath>

namespace orv {

std::vector<std::int64_t> countBoxes(const MonochromePicture& picture) {
    int side = picture.side();
    // occupied[y * side + x]: the box at column x, row y of the current grid holds black.
    std::vector<std::uint8_t> occupied(static_cast<std::size_t>(side) * side);
    std::int64_t count = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const bool black = picture.isBlack(x, y);
            occupied[static_cast<std::size_t>(y) * side + x] = black ? 1 : 0;
            count += black ? 1 : 0;
        }
    }
    std::vector<std::int64_t> boxes{count};
    while (side > 1) {
        const int half = side / 2;
        count = 0;
        for (int y = 0; y < half; ++y) {
            for (int x = 0; x < half; ++x) {
                const std::size_t below = static_cast<std::size_t>(2 * y) * side + 2 * x;
                const std::size_t above = below + side;
                const std::uint8_t any =
                    occupied[below] | occupied[below + 1] | occupied[above] | occupied[above + 1];
                occupied[static_cast<std::size_t>(y) * half + x] = any;
                count += any;
            }
        }
        side = half;
        boxes.push_back(count);
    }
    return boxes;
}

std::optional<DimensionEstimate> boxCountingDimension(const MonochromePicture& picture) {
    const std::vector<std::int64_t> boxes = countBoxes(picture);
    if (boxes.front() == 0) {
        return std::nullopt;
    }
    // Scales k = 0 .. K with 2^K = side / 8; a picture is at least 64 pixels, so K >= 3.
    const int largest = static_cast<int>(boxes.size()) - 1 - 3;
    double sumK = 0.0;
    double sumLog = 0.0;
    for (int k = 0; k <= largest; ++k) {
        sumK += k;
        sumLog += std::log2(static_cast<double>(boxes[k]));
    }
    const double scales = largest + 1;
    const double meanK = sumK / scales;
    const double meanLog = sumLog / scales;
    double covariance = 0.0;
    double variance = 0.0;
    for (int k = 0; k <= largest; ++k) {
        covariance += (k - meanK) * (std::log2(static_cast<double>(boxes[k])) - meanLog);
        variance += (k - meanK) * (k - meanK);
    }
    // N(2^k) ~ 2^(-kD): the dimension is minus the slope of log2 N against k.
    return DimensionEstimate{
        .dimension = -covariance / variance, .smallestBox = 1, .largestBox = 1 << largest};
}

}  // namespace orv
