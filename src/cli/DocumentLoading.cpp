#include "cli/DocumentLoading.h"

#include "document/Archive.h"
#include "document/DocumentError.h"
#include "document/ParameterFile.h"

namespace orv::cli {

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

std::string loadFailureMessage(const std::exception& failure, const std::string& path) {
    if (dynamic_cast<const FileError*>(&failure) != nullptr) {
        return failureMessage(failure, path, kFailedToOpenDocument);
    }
    if (dynamic_cast<const EmptyDocumentError*>(&failure) != nullptr) {
        return path + ": " + failure.what();
    }
    return path + ": " + failureMessage(failure, path, kFailedToOpenDocument);
}

}  // namespace orv::cli
