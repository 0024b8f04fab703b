#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "document/ParameterBlock.h"

namespace orv::cli {

enum class Command { render, info, list, help, version };

// --iterations: either "auto" or an explicit count, which may be anything a document can hold.
struct IterationOverride {
    bool automatic = false;
    std::int32_t count = 0;
};

struct Options {
    Command command = Command::render;
    std::string input{};
    std::string output{};  // render only
    std::optional<std::int32_t> sizeIndex{};
    std::optional<IterationOverride> iterations{};
    std::optional<std::int32_t> thumbnailSize{};  // --thumbnail: the largest side wanted
    bool quiet = false;
    bool fit = true;       // --no-fit: a .ifs entry's unit square is the picture
    std::string frames{};  // --frames DIR, render only
};

// A thumbnail never runs more iterations than this: enough for the images of the square under
// maps that shrink by a factor up to 0.97 to become smaller than a pixel of the largest raster
// (0.97^256 < 1/2048), while a document's count, which may be in the billions, would keep a
// file manager waiting.
inline constexpr std::int32_t kThumbnailIterationLimit = 256;

enum class PictureFormat { bmp, png };

// PNG for an output named *.png (in any case) and for every thumbnail, BMP otherwise.
PictureFormat pictureFormat(const Options& options);

// What an output file receives, by its extension (in any case): ".orv" the document, ".ifs"
// the enabled maps as a .ifs entry, anything else the picture.
enum class OutputKind { picture, document, ifs };
OutputKind outputKindFor(std::string_view path);

// Whether `text` ends in `ending` (lower case), letters compared without regard to ASCII case.
bool endsWithIgnoringCase(std::string_view text, std::string_view ending);

// The kind of output this command line writes: a thumbnail is always a picture.
OutputKind outputKindOf(const Options& options);

// What is wrong with the command line, in a few words ("unknown option '--x'").
struct UsageError {
    std::string message{};
};

// Reads the arguments after the program name. --help and --version end the reading: what
// follows them is ignored, as the user only asked for the text.
std::variant<Options, UsageError> parseCommandLine(std::span<const std::string> arguments);

// The overrides of --size and --iterations, applied to a loaded document; then --thumbnail's
// raster (the smallest side not below the size asked for, 2048 at most) and its iteration limit.
void applyOverrides(const Options& options, ParameterBlock& block);

// The picture side named on the command line ("512") as a size index, or nothing.
std::optional<std::int32_t> sizeIndexForSide(std::string_view side);

}  // namespace orv::cli
