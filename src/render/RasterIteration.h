#pragma once

#include <optional>

#include "document/ParameterBlock.h"
#include "render/MonochromePicture.h"
#include "render/RenderProgress.h"

namespace orv {

// Renders the attractor of `block` into its picture: bit for bit the result of
// renderPictureReference (ReferenceIteration.h), which defines it. Returns nothing when
// progress.stopRequested() ends the render early; throws std::invalid_argument for a sizeIndex
// outside 0..5 and std::bad_alloc when the buffers cannot be had.
std::optional<MonochromePicture> renderPicture(const ParameterBlock& block,
                                               RenderProgress& progress);

}  // namespace orv
