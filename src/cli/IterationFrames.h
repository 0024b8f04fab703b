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
// only on the one before: once two successive pictures are equal, every later one is the same.
// The renderer is deterministic, so the picture after k iterations is a render with the count
// set to k.

// The picture of `block` after `count` iterations (0: the full square).
std::optional<MonochromePicture> renderAfter(const ParameterBlock& block, std::int32_t count,
                                             RenderProgress& progress);

// What renderPicture(block) draws, without running more iterations than it takes the picture
// to settle: renders after 1, 2, 4, ... iterations and stops at the first count whose picture
// equals the one after twice as many (or at the block's own count). A count of millions that
// settles after thirty costs about a hundred iterations.
std::optional<MonochromePicture> renderSettling(const ParameterBlock& block,
                                                RenderProgress& progress);

// The picture file of frame `index` in `directory`: frame-000.bmp, frame-001.bmp, ... or
// frame-000.png, ... for PNG frames.
std::string framePath(const std::string& directory, std::int64_t index,
                      PictureFormat format = PictureFormat::bmp);

// Writes the picture after 0, 1, 2, ... iterations of `block` into `directory` (made when it
// does not exist), up to the block's count or until the picture settles, whichever comes
// first: frame-000 is the full square, and a settled picture is written once. Returns the
// number of frames. Throws FileError.
std::int64_t writeIterationFrames(const ParameterBlock& block, const std::string& directory,
                                  PictureFormat format);

}  // namespace orv::cli
