#include "cli/IterationFrames.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "document/DocumentError.h"
#include "export/BmpWriter.h"
#include "export/PngWriter.h"
#include "render/FastIteration.h"

namespace orv::cli {

namespace {

void makeDirectory(const std::string& directory) {
    if (::mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST) {
        throw FileError(fileErrorCauseFromErrno(errno), directory);
    }
}

}  // namespace

std::string framePath(const std::string& directory, std::int64_t index, PictureFormat format) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%03lld.%s", static_cast<long long>(index),
                  format == PictureFormat::png ? "png" : "bmp");
    return directory + (directory.ends_with('/') ? "" : "/") + name;
}

std::optional<MonochromePicture> renderWritingFrames(const ParameterBlock& block,
                                                     const std::string& directory,
                                                     PictureFormat format,
                                                     RenderProgress& progress) {
    makeDirectory(directory);
    FastRenderOptions options;
    options.onPicture = [&](std::int64_t iteration, const MonochromePicture& picture) {
        const std::string path = framePath(directory, iteration, format);
        if (format == PictureFormat::png) {
            writePng(picture, path);
        } else {
            writeBmp(picture, path);
        }
    };
    return renderPictureFast(block, progress, options);
}

}  // namespace orv::cli
