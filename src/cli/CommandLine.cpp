#include "cli/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace orv::cli {

namespace {

std::optional<IterationOverride> parseIterations(std::string_view text) {
    if (text == "auto") {
        return IterationOverride{.automatic = true, .count = 0};
    }
    // from_chars takes no '+', but people type one.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    std::int32_t count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return IterationOverride{.automatic = false, .count = count};
}

std::optional<std::int32_t> parseThumbnailSize(std::string_view text) {
    std::int32_t size = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || size < 1) {
        return std::nullopt;
    }
    return size;
}

// The smallest raster side not below `size`, or the largest.
std::int32_t sizeIndexForThumbnail(std::int32_t size) {
    std::int32_t index = 0;
    while (index + 1 < kSizeCount && (std::int32_t{1} << shiftForSizeIndex(index)) < size) {
        ++index;
    }
    return index;
}

// An option that takes a value accepts it as "--name value" and as "--name=value".
struct ValueOption {
    std::string value{};
    bool present = false;
    bool missing = false;  // the option ended the command line
};

ValueOption takeValue(std::string_view name, std::span<const std::string> arguments,
                      std::size_t& at) {
    const std::string_view argument = arguments[at];
    ValueOption option;
    if (argument == name) {
        option.present = true;
        if (at + 1 < arguments.size()) {
            option.value = arguments[++at];
        } else {
            option.missing = true;
        }
    } else if (argument.size() > name.size() && argument.starts_with(name) &&
               argument[name.size()] == '=') {
        option.present = true;
        option.value = argument.substr(name.size() + 1);
    }
    return option;
}

}  // namespace

bool endsWithIgnoringCase(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) {
        return false;
    }
    const auto lower = [](char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    };
    const std::string_view tail = text.substr(text.size() - ending.size());
    return std::equal(tail.begin(), tail.end(), ending.begin(), ending.end(),
                      [&](char a, char b) { return lower(a) == b; });
}

OutputKind outputKindFor(std::string_view path) {
    if (endsWithIgnoringCase(path, ".orv")) {
        return OutputKind::document;
    }
    if (endsWithIgnoringCase(path, ".ifs")) {
        return OutputKind::ifs;
    }
    return OutputKind::picture;
}

std::optional<std::int32_t> sizeIndexForSide(std::string_view side) {
    constexpr std::string_view kSides[kSizeCount] = {"64", "128", "256", "512", "1024", "2048"};
    for (std::int32_t index = 0; index < kSizeCount; ++index) {
        if (side == kSides[index]) {
            return index;
        }
    }
    return std::nullopt;
}

std::variant<Options, UsageError> parseCommandLine(std::span<const std::string> arguments) {
    Options options;
    bool info = false;
    bool list = false;
    std::vector<std::string> files;
    bool onlyFiles = false;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        // "-" alone is a file name, and so is everything after "--".
        if (onlyFiles || argument.size() < 2 || argument.front() != '-') {
            files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyFiles = true;
        } else if (argument == "--help" || argument == "-h") {
            return Options{.command = Command::help};
        } else if (argument == "--version") {
            return Options{.command = Command::version};
        } else if (argument == "--info") {
            info = true;
        } else if (argument == "--list") {
            list = true;
        } else if (argument == "--no-fit") {
            options.fit = false;
        } else if (auto frames = takeValue("--frames", arguments, at); frames.present) {
            if (frames.missing || frames.value.empty()) {
                return UsageError{"--frames needs a directory"};
            }
            options.frames = frames.value;
        } else if (argument == "--quiet" || argument == "-q") {
            options.quiet = true;
        } else if (auto size = takeValue("--size", arguments, at); size.present) {
            if (size.missing) {
                return UsageError{"--size needs a picture side"};
            }
            options.sizeIndex = sizeIndexForSide(size.value);
            if (!options.sizeIndex) {
                return UsageError{"invalid picture size '" + size.value +
                                  "' (use 64, 128, 256, 512, 1024 or 2048)"};
            }
        } else if (auto count = takeValue("--iterations", arguments, at); count.present) {
            if (count.missing) {
                return UsageError{"--iterations needs a count or 'auto'"};
            }
            options.iterations = parseIterations(count.value);
            if (!options.iterations) {
                return UsageError{"invalid iteration count '" + count.value +
                                  "' (use a whole number from -2147483648 to 2147483647, or "
                                  "'auto')"};
            }
        } else if (auto thumbnail = takeValue("--thumbnail", arguments, at); thumbnail.present) {
            if (thumbnail.missing) {
                return UsageError{"--thumbnail needs a size in pixels"};
            }
            options.thumbnailSize = parseThumbnailSize(thumbnail.value);
            if (!options.thumbnailSize) {
                return UsageError{"invalid thumbnail size '" + thumbnail.value +
                                  "' (use a whole number of pixels from 1)"};
            }
        } else {
            return UsageError{"unknown option '" + argument + "'"};
        }
    }

    if (options.thumbnailSize && options.sizeIndex) {
        return UsageError{"--thumbnail chooses the picture size; leave out --size"};
    }
    if (info && list) {
        return UsageError{"--info and --list do not go together"};
    }
    if ((info || list) && !options.frames.empty()) {
        return UsageError{"--frames needs a picture to render"};
    }
    if (list && options.thumbnailSize) {
        return UsageError{"--thumbnail needs a picture to render"};
    }
    options.command = info ? Command::info : list ? Command::list : Command::render;
    const bool oneFile = info || list;
    const std::size_t wanted = oneFile ? 1 : 2;
    if (files.empty()) {
        return UsageError{"no input file"};
    }
    if (files.size() < wanted) {
        return UsageError{"no output file"};
    }
    if (files.size() > wanted) {
        return UsageError{info   ? "--info takes one file"
                          : list ? "--list takes one file"
                                 : "too many files"};
    }
    // No file has an empty name; the system would only say "not found", and only after the
    // render for the output.
    if (files[0].empty()) {
        return UsageError{"the input file name is empty"};
    }
    if (!oneFile && files[1].empty()) {
        return UsageError{"the output file name is empty"};
    }
    options.input = files[0];
    if (!oneFile) {
        options.output = files[1];
        if (!options.frames.empty() && outputKindOf(options) != OutputKind::picture) {
            return UsageError{"--frames needs a picture to render, not a .orv or .ifs output"};
        }
    }
    return options;
}

void applyOverrides(const Options& options, ParameterBlock& block) {
    if (options.sizeIndex) {
        block.sizeIndex = *options.sizeIndex;
    }
    if (options.iterations) {
        block.autoIterations = options.iterations->automatic ? 1 : 0;
        if (!options.iterations->automatic) {
            block.iterationCount = options.iterations->count;
        }
    }
    if (options.thumbnailSize) {
        block.sizeIndex = sizeIndexForThumbnail(*options.thumbnailSize);
        if (block.autoIterations == 0) {
            block.iterationCount = std::min(block.iterationCount, kThumbnailIterationLimit);
        }
    }
}

OutputKind outputKindOf(const Options& options) {
    // A thumbnail is a picture whatever its file is called: the file manager names it.
    return options.thumbnailSize ? OutputKind::picture : outputKindFor(options.output);
}

PictureFormat pictureFormat(const Options& options) {
    return options.thumbnailSize || endsWithIgnoringCase(options.output, ".png")
               ? PictureFormat::png
               : PictureFormat::bmp;
}

}  // namespace orv::cli
