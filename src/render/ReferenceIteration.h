#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "document/ParameterBlock.h"
#include "render/MonochromePicture.h"
#include "render/RenderProgress.h"

namespace orv {

// The raster iteration written as plainly as it is defined: one byte per pixel, every pixel of
// every enabled map pushed forward in every iteration. It is the definition of the result and
// the oracle the fast renderer is tested against; the program itself renders with
// renderPicture (RasterIteration.h).
//
// The raster is N x N bytes, row-major, pixel (x, y) at y*N + x, y = 0 at the bottom, 0 black
// and 1 white. Starting from the all-black square, each iteration clears the next raster to
// white and, for every enabled map, sends each pixel's corner (x, y) to
//     X = x*a + (y*b + N*e),   Y = x*c + (y*d + N*f)
// in IEEE double arithmetic, each product and sum rounded on its own, truncates X and Y toward
// zero and, when both land inside the raster, ANDs the source byte into the target byte.
// Non-finite targets and those outside the raster are dropped.
//
// Returns nothing when progress.stopRequested() ends the render early. Throws
// std::invalid_argument for a sizeIndex outside 0..5.
std::optional<std::vector<std::uint8_t>> iterateRasterReference(const ParameterBlock& block,
                                                                RenderProgress& progress);

// iterateRasterReference packed into a picture.
std::optional<MonochromePicture> renderPictureReference(const ParameterBlock& block,
                                                        RenderProgress& progress);

}  // namespace orv
