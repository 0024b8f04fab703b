#include "cli/RenderTool.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>

#include "cli/CommandLine.h"
#include "cli/DocumentLoading.h"
#include "cli/IterationFrames.h"
#include "cli/ParameterTable.h"
#include "cli/TerminalProgress.h"
#include "cli/Usage.h"
#include "document/Archive.h"
#include "document/DocumentError.h"
#include "document/NumberText.h"
#include "document/ParameterFile.h"
#include "export/AtomicFile.h"
#include "export/BmpWriter.h"
#include "export/PngWriter.h"
#include "render/RasterIteration.h"

namespace orv::cli {

namespace {

void report(std::ostream& err, const std::string& message) {
    err << kProgramName << ": " << message << '\n';
}

std::optional<ParameterBlock> load(const Options& options, std::ostream& err) {
    try {
        const ImportChoice choice{.fit = options.fit, .sizeIndex = options.sizeIndex.value_or(3)};
        ParameterBlock block = loadInput(options.input, choice);
        applyOverrides(options, block);
        return block;
    } catch (const std::exception& failure) {
        report(err, loadFailureMessage(failure, options.input));
        return std::nullopt;
    }
}

// Whether both names lead to one file, whatever links or other names are on the way.
bool sameFile(const std::string& first, const std::string& second) {
    struct stat a {};
    struct stat b {};
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A thumbnail larger than it was asked for is shrunk into it; nothing is ever enlarged.
void writePicture(const Options& options, const MonochromePicture& picture) {
    if (options.thumbnailSize && *options.thumbnailSize < picture.side()) {
        writePng(shrinkToGrey(picture, *options.thumbnailSize), options.output);
    } else if (pictureFormat(options) == PictureFormat::png) {
        writePng(picture, options.output);
    } else {
        writeBmp(picture, options.output);
    }
}

// The enabled maps of `block` as a .ifs entry named after the output file.
std::vector<std::uint8_t> ifsText(const ParameterBlock& block, const Options& options) {
    std::vector<AffineMap> maps;
    for (int k = 0; k < kMapCount; ++k) {
        if (block.enabled[k] != 0) {
            maps.push_back(block.maps[k]);
        }
    }
    if (maps.empty()) {
        throw InputError(options.input + ": no map is enabled, and a .ifs entry needs one");
    }
    // A line break in the input's name would end the comment and spoil the entry.
    std::string source = options.input;
    std::replace_if(
        source.begin(), source.end(), [](char c) { return c == '\n' || c == '\r'; }, '?');
    const int side = 1 << shiftForSizeIndex(block.sizeIndex);
    const std::string text =
        "; Written by orv-render from " + source +
        ". The picture is the unit square,\n; drawn by Orv at " + formatInt(side) + " x " +
        formatInt(side) + " pixels with " +
        formatInt(static_cast<std::int32_t>(iterationsFor(block))) +
        " iterations. The probabilities are proportional\n; to each map's area, none below a "
        "hundredth: Orv itself has no use for them.\n" +
        formatIfsEntry(ifsEntryName(options.output), maps);
    return {text.begin(), text.end()};
}

std::unique_ptr<RenderProgress> progressFor(const Options& options, const Console& console) {
    if (console.errIsTerminal && !options.quiet) {
        return std::make_unique<TerminalProgress>(console.err, console.clock);
    }
    return std::make_unique<RenderProgress>();
}

// Writes the output file that is not a picture; no render is needed.
int convert(const ParameterBlock& block, const Options& options, OutputKind kind,
            std::ostream& err) {
    std::vector<std::uint8_t> bytes;
    if (kind == OutputKind::document) {
        Archive archive = Archive::forStoring();
        storeParameters(block, archive);
        bytes = archive.bytes();
    } else {
        try {
            bytes = ifsText(block, options);
        } catch (const InputError& failure) {
            report(err, failure.what());
            return kExitBadInput;
        }
    }
    try {
        writeFileAtomically(options.output, bytes);
    } catch (const FileError& failure) {
        report(err, failure.what());
        return kExitBadOutput;
    }
    return kExitSuccess;
}

int render(const Options& options, const Console& console) {
    std::ostream& err = console.err;
    const auto block = load(options, err);
    if (!block) {
        return kExitBadInput;
    }
    if (sameFile(resolveInputName(options.input).file, options.output)) {
        report(err, options.output +
                        ": the output is the input document; choose another file for the picture");
        return kExitBadOutput;
    }
    try {
        checkReplaceable(options.output);
    } catch (const FileError& failure) {
        report(err, failure.what());
        return kExitBadOutput;
    }
    const OutputKind kind = outputKindOf(options);
    if (kind != OutputKind::picture) {
        return convert(*block, options, kind, err);
    }

    std::optional<MonochromePicture> picture;
    try {
        const auto progress = progressFor(options, console);
        picture = options.frames.empty() ? renderPicture(*block, *progress)
                                         : renderWritingFrames(*block, options.frames,
                                                               pictureFormat(options), *progress);
    } catch (const FileError& failure) {
        report(err, failure.what());
        return kExitBadOutput;
    } catch (const std::bad_alloc&) {
        report(err, options.input + ": not enough memory to render the picture");
        return kExitBadInput;
    }
    if (!picture) {  // our progress never asks to stop
        report(err, options.input + ": the render was stopped");
        return kExitBadInput;
    }

    try {
        writePicture(options, *picture);
    } catch (const FileError& failure) {
        report(err, failure.what());
        return kExitBadOutput;
    } catch (const std::bad_alloc&) {
        report(err, options.output + ": not enough memory to write the picture");
        return kExitBadOutput;
    } catch (const std::runtime_error& failure) {  // the PNG encoder's own failures
        report(err, options.output + ": " + failure.what());
        return kExitBadOutput;
    }
    return kExitSuccess;
}

// The parameters, then what the render draws: its black pixels and their box-counting
// dimension.
int info(const Options& options, const Console& console) {
    const auto block = load(options, console.err);
    if (!block) {
        return kExitBadInput;
    }
    console.out << parameterTable(*block) << std::flush;
    RenderProgress silent;
    std::optional<MonochromePicture> picture;
    try {
        picture = renderPicture(*block, silent);
    } catch (const std::bad_alloc&) {
        report(console.err, options.input + ": not enough memory to render the picture");
        return kExitBadInput;
    }
    console.out << "\n" << measurementText(*picture);
    return kExitSuccess;
}

int list(const Options& options, const Console& console) {
    const InputName name = resolveInputName(options.input);
    try {
        if (!name.ifs) {
            throw InputError(name.file + ": --list reads .ifs files, and this is a document");
        }
        console.out << entryList(loadIfsEntries(name.file));
    } catch (const std::exception& failure) {
        report(console.err, loadFailureMessage(failure, name.file));
        return kExitBadInput;
    }
    return kExitSuccess;
}

}  // namespace

int runRenderTool(std::span<const std::string> arguments, const Console& console) {
    std::ostream& out = console.out;
    std::ostream& err = console.err;
    const auto parsed = parseCommandLine(arguments);
    if (const auto* usage = std::get_if<UsageError>(&parsed)) {
        report(err, usage->message);
        err << usageHint();
        return kExitBadUsage;
    }
    const auto& options = std::get<Options>(parsed);
    switch (options.command) {
        case Command::help:
            out << helpText();
            return kExitSuccess;
        case Command::version:
            out << versionText();
            return kExitSuccess;
        case Command::info:
            return info(options, console);
        case Command::list:
            return list(options, console);
        case Command::render:
            break;
    }
    return render(options, console);
}

}  // namespace orv::cli
