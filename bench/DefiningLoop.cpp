// The plain defining loop as a program of its own, for timing whole processes against
// orv-render on the same document:
//
//   orv_defining_loop DOCUMENT.orv PICTURE.bmp
//
// It renders with renderPictureReference and writes the same BMP orv-render writes. The loop's
// source is compiled into this program again at -O2 (see CMakeLists.txt), as a plain program
// would be built, so its figures do not depend on how far the Release flags vectorise it.

#include <cstdio>
#include <exception>
#include <string>

#include "document/Archive.h"
#include "document/ParameterFile.h"
#include "export/BmpWriter.h"
#include "render/ReferenceIteration.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: orv_defining_loop DOCUMENT.orv PICTURE.bmp\n");
        return 1;
    }
    try {
        const std::vector<std::uint8_t> bytes = orv::readParameterFileBytes(argv[1]);
        orv::Archive archive = orv::Archive::forLoading(bytes);
        orv::ParameterBlock block = orv::defaultParameters();
        orv::loadParameters(block, archive);
        orv::RenderProgress progress;
        const auto picture = orv::renderPictureReference(block, progress);
        orv::writeBmp(*picture, argv[2]);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "orv_defining_loop: %s: %s\n", argv[1], failure.what());
        return 2;
    }
    return 0;
}
