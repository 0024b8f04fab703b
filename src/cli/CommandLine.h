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
    bool quiet = false;
    bool fit = true;       // --no-fit: a .ifs entry's unit square is the picture
    std::string frames{};  // --frames DIR, render only
};

// What an output file receives, by its extension (in any case): ".orv" the document, ".ifs"
// the enabled maps as a .ifs entry, anything else the picture.
enum class OutputKind { picture, document, ifs };
OutputKind outputKindFor(std::string_view path);

// Whether `text` ends in `ending` (lower case), letters compared without regard to ASCII case.
bool endsWithIgnoringCase(std::string_view text, std::string_view ending);

// What is wrong with the command line, in a few words ("unknown option '--x'").
struct UsageError {
    std::string message{};
};

// Reads the arguments after the program name. --help and --version end the reading: what
// follows them is ignored, as the user only asked for the text.
std::variant<Options, UsageError> parseCommandLine(std::span<const std::string> arguments);

// The overrides of --size and --iterations, applied to a loaded document.
void applyOverrides(const Options& options, ParameterBlock& block);

// The picture side named on the command line ("512") as a size index, or nothing.
std::optional<std::int32_t> sizeIndexForSide(std::string_view side);

}  // namespace orv::cli
