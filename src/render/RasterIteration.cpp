#include "render/RasterIteration.h"

#include "render/ReferenceIteration.h"

namespace orv {

std::optional<MonochromePicture> renderPicture(const ParameterBlock& block,
                                               RenderProgress& progress) {
    return renderPictureReference(block, progress);
}

}  // namespace orv
