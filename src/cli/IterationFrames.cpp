#include "cli/IterationFrames.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "document/DocumentError.h"
#include "export/BmpWriter.h"
#include "export/PngWriter.h"
#include "render/FastIteration.h"
#include "render/RasterIteration.h"

namespace orv::cli {

namespace {

bool samePicture(const MonochromePicture& a, const MonochromePicture& b) {
    return std::ranges::equal(a.bits(), b.bits());
}

void makeDirectory(const std::string& directory) {
    if (::mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST) {
        throw FileError(fileErrorCauseFromErrno(errno), directory);
    }
}

}  // namespace

std::optional<MonochromePicture> renderAfter(const ParameterBlock& block, std::int32_t count,
                                             RenderProgress& progress) {
    ParameterBlock counted = block;
    counted.autoIterations = 0;
    counted.iterationCount = count;
    return renderPicture(counted, progress);
}

std::optional<MonochromePicture> renderSettling(const ParameterBlock& block,
                                                RenderProgress& progress) {
    const std::int64_t total = iterationsFor(block);
    if (total <= 0) {
        return renderAfter(block, 0, progress);
    }
    std::int64_t count = 1;
    auto picture = renderAfter(block, 1, progress);
    while (picture && count < total) {
        const std::int64_t next = std::min(2 * count, total);
        auto later = renderAfter(block, static_cast<std::int32_t>(next), progress);
        if (!later || samePicture(*picture, *later)) {
            return later;
        }
        picture = std::move(later);
        count = next;
    }
    return picture;
}

std::string framePath(const std::string& directory, std::int64_t index, PictureFormat format) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%03lld.%s", static_cast<long long>(index),
                  format == PictureFormat::png ? "png" : "bmp");
    return directory + (directory.ends_with('/') ? "" : "/") + name;
}

std::int64_t writeIterationFrames(const ParameterBlock& block, const std::string& directory,
                                  PictureFormat format) {
    makeDirectory(directory);
    std::int64_t written = 0;
    FastRenderOptions options;
    options.onPicture = [&](std::int64_t iteration, const MonochromePicture& picture) {
        const std::string path = framePath(directory, iteration, format);
        if (format == PictureFormat::png) {
            writePng(picture, path);
        } else {
            writeBmp(picture, path);
        }
        ++written;
    };
    RenderProgress silent;
    renderPictureFast(block, silent, options);
    return written;
}

}  // namespace orv::cli
