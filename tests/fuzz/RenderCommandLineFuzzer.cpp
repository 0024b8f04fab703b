// orv-render's command line, the arguments split at NUL bytes (which no argument can hold).
// Whatever it is given, the parser either refuses with a message or returns options that name
// files from the command line and a valid picture size; and an accepted render or --info reads
// back the same from a plain spelling of its options, and so does --list; a thumbnail keeps to
// its iteration limit.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CommandLine.h"

namespace {

using namespace orv;
using namespace orv::cli;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

std::vector<std::string> splitAtNul(std::string_view bytes) {
    std::vector<std::string> arguments;
    if (bytes.empty()) {
        return arguments;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes.find('\0', start);
        arguments.emplace_back(bytes.substr(start, end - start));
        if (end == std::string_view::npos) {
            return arguments;
        }
        start = end + 1;
    }
}

bool contains(const std::vector<std::string>& arguments, std::string_view wanted) {
    for (const std::string& argument : arguments) {
        if (argument == wanted) {
            return true;
        }
    }
    return false;
}

std::string sideText(std::int32_t sizeIndex) {
    return std::to_string(64 << sizeIndex);
}

// The same options as separate words, every file after "--".
std::vector<std::string> spelledOut(const Options& options) {
    std::vector<std::string> arguments;
    if (options.quiet) {
        arguments.push_back("--quiet");
    }
    if (options.command == Command::info) {
        arguments.push_back("--info");
    }
    if (options.command == Command::list) {
        arguments.push_back("--list");
    }
    if (!options.fit) {
        arguments.push_back("--no-fit");
    }
    if (!options.frames.empty()) {
        arguments.push_back("--frames");
        arguments.push_back(options.frames);
    }
    if (options.sizeIndex) {
        arguments.push_back("--size");
        arguments.push_back(sideText(*options.sizeIndex));
    }
    if (options.iterations) {
        arguments.push_back("--iterations");
        arguments.push_back(options.iterations->automatic
                                ? std::string("auto")
                                : std::to_string(options.iterations->count));
    }
    if (options.thumbnailSize) {
        arguments.push_back("--thumbnail");
        arguments.push_back(std::to_string(*options.thumbnailSize));
    }
    arguments.push_back("--");
    arguments.push_back(options.input);
    if (options.command == Command::render) {
        arguments.push_back(options.output);
    }
    return arguments;
}

bool sameOptions(const Options& a, const Options& b) {
    const bool sameIterations =
        a.iterations.has_value() == b.iterations.has_value() &&
        (!a.iterations || (a.iterations->automatic == b.iterations->automatic &&
                           a.iterations->count == b.iterations->count));
    return a.command == b.command && a.input == b.input && a.output == b.output &&
           a.sizeIndex == b.sizeIndex && sameIterations && a.quiet == b.quiet && a.fit == b.fit &&
           a.frames == b.frames && a.thumbnailSize == b.thumbnailSize;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> arguments =
        splitAtNul(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto result = parseCommandLine(arguments);
    if (const auto* refusal = std::get_if<UsageError>(&result)) {
        if (refusal->message.empty()) {
            fail("a refusal without a message");
        }
        return 0;
    }
    const Options& options = std::get<Options>(result);
    switch (options.command) {
        case Command::help:
            if (!contains(arguments, "--help") && !contains(arguments, "-h")) {
                fail("help without --help");
            }
            return 0;
        case Command::version:
            if (!contains(arguments, "--version")) {
                fail("the version without --version");
            }
            return 0;
        case Command::render:
        case Command::info:
        case Command::list:
            break;
    }
    if (!contains(arguments, options.input) ||
        (options.command == Command::render && !contains(arguments, options.output)) ||
        (options.command != Command::render && !options.output.empty())) {
        fail("a file name that was not on the command line");
    }
    if (!options.frames.empty() && options.command != Command::render) {
        fail("frames without a picture to render");
    }
    if (options.sizeIndex && !isValidSizeIndex(*options.sizeIndex)) {
        fail("a picture size outside 64 to 2048");
    }
    ParameterBlock block = defaultParameters();
    applyOverrides(options, block);
    if (!isValidSizeIndex(block.sizeIndex)) {
        fail("the overrides leave an invalid picture size");
    }
    if (options.thumbnailSize &&
        (*options.thumbnailSize < 1 ||
         (block.autoIterations == 0 && block.iterationCount > kThumbnailIterationLimit))) {
        fail("a thumbnail of no pixels, or with more iterations than its limit");
    }
    const auto again = parseCommandLine(spelledOut(options));
    if (!std::holds_alternative<Options>(again) ||
        !sameOptions(options, std::get<Options>(again))) {
        fail("accepted options do not read back from their plain spelling");
    }
    return 0;
}
