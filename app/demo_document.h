// The document the runner opens when it is given none.
#pragma once

#include <string>

class BaseDocument;

/// The built-in demo document in the document file format.
extern const char kDemoDocument[];

/// The folder under the plug-in's folder that holds the demo document's images.
constexpr const char kDemoResourceFolder[] = "demo";

/// Loads the demo document; its bitmap shaders' relative file names are taken from `resourceDir`
/// (the plug-in folder's `kDemoResourceFolder`). Null with `*error` set when it does not load.
BaseDocument* LoadDemoDocument(const std::string& resourceDir, std::string* error);
