#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/IfsFile.h"
#include "document/ParameterBlock.h"

namespace orv::cli {

// A zero-length file. Orv opens it without reading anything, so the document keeps whatever
// it showed before; a fresh process has nothing before, hence no picture to draw.
class EmptyDocumentError : public std::runtime_error {
public:
    EmptyDocumentError() : std::runtime_error("the document is empty and has no picture") {}
};

// An input that was read but cannot be drawn, its message complete and naming the file
// ("fern.ifs: line 4: ...", "fern.ifs: no entry named 'x'").
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The parameter block of the document at `path`, read as Orv reads it when it opens the file.
// Throws FileError when the file cannot be read, ArchiveError when its bytes are not a
// document, EmptyDocumentError for a zero-length file.
ParameterBlock loadDocument(const std::string& path);

// What an input argument names: a document, or an entry of a .ifs file. "FILE.ifs:NAME" is
// entry NAME, "FILE.ifs" its first entry; a file is .ifs text when its name ends in ".ifs" in
// any case. A path may itself hold ':', so an existing file of the whole name wins; otherwise
// the argument is split at its last ':' when what precedes it ends in ".ifs".
struct InputName {
    std::string file;
    std::string entry;  // empty: the first
    bool ifs = false;
};
InputName resolveInputName(const std::string& argument);

// The entries of the .ifs file at `path`. Throws FileError, or InputError for a file that is
// not .ifs text or is too large to be one.
std::vector<IfsEntry> loadIfsEntries(const std::string& path);

// How an entry of a .ifs file becomes a document.
struct ImportChoice {
    bool fit = true;             // fitted into the picture; otherwise the unit square is it
    std::int32_t sizeIndex = 3;  // 512 x 512
};

// The document `argument` names (see InputName). Throws as loadDocument and loadIfsEntries,
// and InputError for an entry that is missing or cannot be drawn or fitted.
ParameterBlock loadInput(const std::string& argument, const ImportChoice& choice);

// What to tell the user when loading failed: the file error's own sentence, which names the
// file, an InputError's message, or "PATH: cause" for a file that was read but is not a
// document.
std::string loadFailureMessage(const std::exception& failure, const std::string& path);

}  // namespace orv::cli
