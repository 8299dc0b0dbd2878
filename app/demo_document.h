// The document the runner opens when it is given none.
#pragma once

/// The built-in demo document in the document file format.
extern const char kDemoDocument[];
