#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "render/MonochromePicture.h"

namespace orv {

// How many boxes of side 2^k pixels, on the grid aligned with the picture's corner, hold a
// black pixel: boxes[0] is the number of black pixels, boxes.back() is 1 or 0 (the whole
// picture).
std::vector<std::int64_t> countBoxes(const MonochromePicture& picture);

// The box-counting dimension read off a picture: the least-squares slope of log N(s) against
// log(1/s) over the box sides s = smallestBox, 2 smallestBox, ..., largestBox.
struct DimensionEstimate {
    double dimension = 0.0;
    int smallestBox = 1;
    int largestBox = 1;
};

// The estimate over boxes from one pixel up to an eighth of the picture's side, so that the
// coarsest scale still has 8 x 8 boxes: coarser grids count the picture's frame more than the
// set. Nothing for a picture without a black pixel.
std::optional<DimensionEstimate> boxCountingDimension(const MonochromePicture& picture);

}  // namespace orv
