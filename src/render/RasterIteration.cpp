#include "render/RasterIteration.h"

#include "render/FastIteration.h"

namespace orv {

std::optional<MonochromePicture> renderPicture(const ParameterBlock& block,
                                               RenderProgress& progress) {
    return renderPictureFast(block, progress);
}

}  // namespace orv
