#include "cli/Usage.h"

namespace orv::cli {

namespace {

constexpr const char* kSynopsis =
    "Usage: orv-render [OPTIONS] INPUT OUTPUT\n"
    "       orv-render --info [OPTIONS] INPUT\n"
    "       orv-render --list FILE.ifs\n";

}  // namespace

std::string helpText() {
    return std::string(kSynopsis) +
           "\n"
           "Renders the attractor of the function system in INPUT, exactly as Orv draws\n"
           "it, and saves the picture as a one-bit BMP file, or a one-bit PNG file when\n"
           "OUTPUT ends in .png.\n"
           "\n"
           "INPUT is an Orv document (.orv) or an entry of a .ifs file, the text format of\n"
           "the classic fractal programs: FILE.ifs:NAME, or FILE.ifs for its first entry.\n"
           "(An existing file of the whole name wins over a NAME after the last ':'.) An\n"
           "entry is fitted into the picture, centred with a 2% margin; it must be of the\n"
           "plane, with at most six maps. Its probabilities are read and dropped: the\n"
           "deterministic iteration has no use for them.\n"
           "\n"
           "OUTPUT ending in .orv receives the document instead of a picture, and OUTPUT\n"
           "ending in .ifs its enabled maps as a .ifs entry named after the file (the\n"
           "picture is the unit square); anything else receives the picture.\n"
           "\n"
           "Options:\n"
           "  --size N          picture side in pixels: 64, 128, 256, 512, 1024 or 2048\n"
           "  --iterations N    run N iterations, or 'auto' for twice the log2 of the side\n"
           "  --thumbnail N     a PNG thumbnail of at most N x N pixels (see below)\n"
           "  --info            print the document's parameters, then render and print the\n"
           "                    black pixels and the box-counting dimension of the picture\n"
           "  --list            list the entries of a .ifs file with their map counts\n"
           "  --no-fit          take a .ifs entry's coordinates as they are: the unit\n"
           "                    square is the picture (an OUTPUT.ifs reads back exactly)\n"
           "  --frames DIR      also write the picture after each iteration into DIR:\n"
           "                    frame-000.bmp is the full square the iteration starts\n"
           "                    from, frame-001.bmp the picture after one iteration, and\n"
           "                    so on, until the picture stops changing (from then on it\n"
           "                    stays the same) or the count is reached; .png files when\n"
           "                    OUTPUT is one\n"
           "  -q, --quiet       show no progress bar\n"
           "  -h, --help        show this help and exit\n"
           "  --version         show the version and exit\n"
           "\n"
           "--size and --iterations replace the document's own values for this run; the\n"
           "document is not changed. With --info they show what would be rendered.\n"
           "--thumbnail renders at the smallest side not below N (2048 at most), runs at\n"
           "most 256 iterations, and shrinks the picture to N x N grey levels when the side\n"
           "is larger; the output is PNG whatever its name. A .ifs entry is drawn at\n"
           "512 x 512 unless --size says otherwise, with the automatic count when it lets\n"
           "the picture settle, otherwise with enough iterations for that (at most 32).\n"
           "A progress bar appears on a terminal when a render takes a while.\n"
           "\n"
           "Exit status: 0 done, 1 bad command line, 2 the input cannot be read or drawn,\n"
           "3 the output or a frame cannot be written. On failure no output file is\n"
           "created and an existing one is left as it was (frames already written stay).\n";
}

std::string versionText() {
    return std::string(kProgramName) + " (Orv) " ORV_VERSION "\n";
}

std::string usageHint() {
    return std::string(kSynopsis) + "Try 'orv-render --help' for more information.\n";
}

}  // namespace orv::cli
