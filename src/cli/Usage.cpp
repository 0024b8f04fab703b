#include "cli/Usage.h"

namespace orv::cli {

namespace {

constexpr const char* kSynopsis =
    "Usage: orv-render [OPTIONS] INPUT.orv OUTPUT.bmp|OUTPUT.png\n"
    "       orv-render --info [OPTIONS] INPUT.orv\n";

}  // namespace

std::string helpText() {
    return std::string(kSynopsis) +
           "\n"
           "Renders the attractor of the function system in INPUT.orv, exactly as Orv draws\n"
           "it, and saves the picture as a one-bit BMP file, or a one-bit PNG file when\n"
           "OUTPUT ends in .png.\n"
           "\n"
           "Options:\n"
           "  --size N          picture side in pixels: 64, 128, 256, 512, 1024 or 2048\n"
           "  --iterations N    run N iterations, or 'auto' for twice the log2 of the side\n"
           "  --thumbnail N     a PNG thumbnail of at most N x N pixels (see below)\n"
           "  --info            print the document's parameters instead of rendering\n"
           "  -q, --quiet       show no progress bar\n"
           "  -h, --help        show this help and exit\n"
           "  --version         show the version and exit\n"
           "\n"
           "--size and --iterations replace the document's own values for this run; the\n"
           "document is not changed. With --info they show what would be rendered.\n"
           "--thumbnail renders at the smallest side not below N (2048 at most), runs at\n"
           "most 256 iterations, and shrinks the picture to N x N grey levels when the side\n"
           "is larger; the output is PNG whatever its name.\n"
           "A progress bar appears on a terminal when a render takes a while.\n"
           "\n"
           "Exit status: 0 done, 1 bad command line, 2 the document cannot be read,\n"
           "3 the picture cannot be written. On failure no output file is created and an\n"
           "existing one is left as it was.\n";
}

std::string versionText() {
    return std::string(kProgramName) + " (Orv) " ORV_VERSION "\n";
}

std::string usageHint() {
    return std::string(kSynopsis) + "Try 'orv-render --help' for more information.\n";
}

}  // namespace orv::cli
