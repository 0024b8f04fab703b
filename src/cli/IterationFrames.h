#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "document/ParameterBlock.h"
#include "render/MonochromePicture.h"
#include "render/RenderProgress.h"

namespace orv::cli {

// Every iteration maps the black pixels forward, and a pixel is black next time when some black
// pixel lands on it. Fewer black pixels can only reach fewer, and the first iteration starts
// from the all-black square, so the pictures shrink: P1 holds P2 holds P3 ... And each depends
// only on the one before: once two successive pictures are equal, every later one is the same,
// so the frames end there.

// The picture file of frame `index` in `directory`: frame-000.bmp, frame-001.bmp, ... or
// frame-000.png, ... for PNG frames.
std::string framePath(const std::string& directory, std::int64_t index,
                      PictureFormat format = PictureFormat::bmp);

// Renders `block` as renderPicture does, and writes the picture after 0, 1, 2, ... iterations
// into `directory` (made when it does not exist) as it goes, up to the block's count or until
// the picture settles, whichever comes first: frame-000 is the full square, and a settled
// picture is written once. Throws FileError.
std::optional<MonochromePicture> renderWritingFrames(const ParameterBlock& block,
                                                     const std::string& directory,
                                                     PictureFormat format,
                                                     RenderProgress& progress);

}  // namespace orv::cli
