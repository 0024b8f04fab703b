#include "cli/RenderTool.h"

#include <sys/stat.h>

#include <memory>
#include <new>
#include <optional>

#include "cli/CommandLine.h"
#include "cli/DocumentLoading.h"
#include "cli/ParameterTable.h"
#include "cli/TerminalProgress.h"
#include "cli/Usage.h"
#include "document/DocumentError.h"
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
        ParameterBlock block = loadDocument(options.input);
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

int render(const Options& options, const Console& console) {
    std::ostream& err = console.err;
    const auto block = load(options, err);
    if (!block) {
        return kExitBadInput;
    }
    if (sameFile(options.input, options.output)) {
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

    std::unique_ptr<RenderProgress> progress;
    if (console.errIsTerminal && !options.quiet) {
        progress = std::make_unique<TerminalProgress>(err, console.clock);
    } else {
        progress = std::make_unique<RenderProgress>();
    }
    std::optional<MonochromePicture> picture;
    try {
        picture = renderPicture(*block, *progress);
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
        case Command::info: {
            const auto block = load(options, err);
            if (!block) {
                return kExitBadInput;
            }
            out << parameterTable(*block);
            return kExitSuccess;
        }
        case Command::render:
            break;
    }
    return render(options, console);
}

}  // namespace orv::cli
