// Loading a host document from a JSON document file (described in docs/document-file.md).
// Nothing here is part of the plug-in interface; the runner and the tests use it.
#pragma once

#include <string>

class BaseDocument;

namespace host {

/// The deepest nesting of JSON arrays and objects a document file may have.
constexpr int kDocumentFileMaxNesting = 512;

/// Loads the document file at `path`. Returns a new document that the caller owns (free it with
/// `BaseDocument::Free`), or null with `*error` (when not null) set to one line naming the file,
/// the place in it and the problem.
BaseDocument* LoadDocumentFile(const std::string& path, std::string* error);

/// Loads a document from the JSON text `json`; `sourceName` names it in error messages. Returns a
/// new document that the caller owns, or null with `*error` (when not null) set to one line.
BaseDocument* LoadDocumentText(const std::string& json, const std::string& sourceName,
                               std::string* error);

/// The document as the text of a document file: name, path, frame rate and range, objects (type,
/// name, matrix, points and polygons of polygon objects, parameters, tags other than point and
/// polygon tags, children), the document's shaders, materials with their shaders, and the active
/// render data with its video posts. Links are written by name (objects, materials) or by shader
/// index. Layers, selection, enabled states and animation keys are not written.
std::string SaveDocumentText(BaseDocument* doc);
/// Writes `SaveDocumentText(doc)` to `path` through a temporary file beside it; false with
/// `*error` (when not null) set to one line when the file cannot be written.
bool SaveDocumentFile(BaseDocument* doc, const std::string& path, std::string* error);

}  // namespace host
