#include "cli/DocumentLoading.h"

#include <sys/stat.h>

#include "cli/CommandLine.h"
#include "document/Archive.h"
#include "document/DocumentError.h"
#include "document/ParameterFile.h"
#include "document/SystemFitting.h"

namespace orv::cli {

namespace {

// Far more than the largest libraries of named systems; a bigger file is something else.
constexpr std::size_t kLargestIfsFile = 16 << 20;

bool endsWithIfs(std::string_view name) {
    return endsWithIgnoringCase(name, ".ifs");
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

ParameterBlock importEntry(const std::string& file, const IfsEntry& entry,
                           const ImportChoice& choice) {
    const std::string named = file + ": entry '" + printableText(entry.name) + "'";
    if (const auto reason = whyNotDrawable(entry)) {
        throw InputError(named + " cannot be drawn: " + *reason);
    }
    if (!choice.fit) {
        return fittedDocument(entry.maps, Square{.x = 0.0, .y = 0.0, .side = 1.0},
                              choice.sizeIndex);
    }
    try {
        return fittedDocument(entry.maps, fittingFrame(entry.maps), choice.sizeIndex);
    } catch (const std::invalid_argument& failure) {
        throw InputError(named + " cannot be fitted into the picture: " + failure.what() +
                         " (--no-fit draws it in the unit square as it is)");
    }
}

}  // namespace

ParameterBlock loadDocument(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readParameterFileBytes(path);
    if (bytes.empty()) {
        throw EmptyDocumentError();
    }
    Archive archive = Archive::forLoading(bytes);
    ParameterBlock block = defaultParameters();
    loadParameters(block, archive);
    return block;
}

InputName resolveInputName(const std::string& argument) {
    if (!exists(argument)) {
        const auto colon = argument.rfind(':');
        if (colon != std::string::npos &&
            endsWithIfs(std::string_view(argument).substr(0, colon))) {
            return {.file = argument.substr(0, colon),
                    .entry = argument.substr(colon + 1),
                    .ifs = true};
        }
    }
    return {.file = argument, .entry = "", .ifs = endsWithIfs(argument)};
}

std::vector<IfsEntry> loadIfsEntries(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readFileStart(path, kLargestIfsFile + 1);
    if (bytes.size() > kLargestIfsFile) {
        throw InputError(path + ": too large for a .ifs file (more than 16 MB)");
    }
    try {
        return parseIfs({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    } catch (const IfsSyntaxError& failure) {
        throw InputError(path + ": " + failure.what());
    }
}

ParameterBlock loadInput(const std::string& argument, const ImportChoice& choice) {
    const InputName name = resolveInputName(argument);
    if (!name.ifs) {
        return loadDocument(name.file);
    }
    const std::vector<IfsEntry> entries = loadIfsEntries(name.file);
    if (entries.empty()) {
        throw InputError(name.file + ": holds no entries");
    }
    const IfsEntry* entry = findEntry(entries, name.entry);
    if (entry == nullptr) {
        throw InputError(name.file + ": no entry named '" + printableText(name.entry) +
                         "' (--list shows the entries)");
    }
    return importEntry(name.file, *entry, choice);
}

std::string loadFailureMessage(const std::exception& failure, const std::string& path) {
    if (dynamic_cast<const FileError*>(&failure) != nullptr) {
        return failureMessage(failure, path, kFailedToOpenDocument);
    }
    if (dynamic_cast<const InputError*>(&failure) != nullptr) {
        return failure.what();
    }
    if (dynamic_cast<const EmptyDocumentError*>(&failure) != nullptr) {
        return path + ": " + failure.what();
    }
    return path + ": " + failureMessage(failure, path, kFailedToOpenDocument);
}

}  // namespace orv::cli
