// Loading a host document from a JSON document file (described in docs/document-file.md).
// Nothing here is part of the plug-in interface; the runner and the tests use it.
#pragma once

#include <cstddef>
#include <string>

class BaseDocument;

namespace host {

/// The deepest nesting of JSON arrays and objects a document file may have.
constexpr int kDocumentFileMaxNesting = 512;

/// The largest document file (or text) the loader reads: 2 GiB.
constexpr size_t kDocumentFileMaxBytes = size_t(1) << 31;

/// Loads the document file at `path`. Returns a new document that the caller owns (free it with
/// `BaseDocument::Free`), or null with `*error` (when not null) set to one line naming the file,
/// the place in it and the problem. The document lies in the file's folder (from the root) under
/// the file's name, unless the file gives a "path" or "name"; a "path" that is not empty and not
/// from the root is taken from the file's folder.
BaseDocument* LoadDocumentFile(const std::string& path, std::string* error);

/// Loads a document from the JSON text `json`; `sourceName` names it in error messages. Returns a
/// new document that the caller owns, or null with `*error` (when not null) set to one line.
BaseDocument* LoadDocumentText(const std::string& json, const std::string& sourceName, std::string* error);

/// The document as document file text, in the form `LoadDocumentText` reads back into the same
/// document. Links are written by name; shaders linked from a material's or a shader's parameters
/// are written in place. Empty on an error (a number that is not finite), with `*error` set.
std::string SaveDocumentText(BaseDocument* doc, std::string* error);

/// Writes `SaveDocumentText` to `path` through a temporary file; false with `*error` set to one
/// line naming the file when that fails.
bool SaveDocumentFile(BaseDocument* doc, const std::string& path, std::string* error);

}  // namespace host
