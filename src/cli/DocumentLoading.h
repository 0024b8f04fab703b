#pragma once

#include <exception>
#include <stdexcept>
#include <string>

#include "document/ParameterBlock.h"

namespace orv::cli {

// A zero-length file. Orv opens it without reading anything, so the document keeps whatever
// it showed before; a fresh process has nothing before, hence no picture to draw.
class EmptyDocumentError : public std::runtime_error {
public:
    EmptyDocumentError() : std::runtime_error("the document is empty and has no picture") {}
};

// The parameter block of the document at `path`, read as Orv reads it when it opens the file.
// Throws FileError when the file cannot be read, ArchiveError when its bytes are not a
// document, EmptyDocumentError for a zero-length file.
ParameterBlock loadDocument(const std::string& path);

// What to tell the user when loadDocument failed: the file error's own sentence, which names
// the file, or "PATH: cause" for a file that was read but is not a document.
std::string loadFailureMessage(const std::exception& failure, const std::string& path);

}  // namespace orv::cli
