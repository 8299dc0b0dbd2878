// The host's record of a document's undo steps, for tests and the runner. Nothing here is part of
// the plug-in interface.
#pragma once

#include <string>
#include <vector>

#include "c4d_types.h"

class BaseDocument;

namespace host {

/// One entry of an undo step: its kind and the node's name when it was recorded.
struct UndoEntry {
  LONG type;
  std::string name;
};

/// The closed undo steps of `doc` that can still be undone, oldest first.
std::vector<std::vector<UndoEntry>> UndoSteps(BaseDocument* doc);
/// True while `doc` has an undo step open.
bool UndoStepOpen(BaseDocument* doc);

}  // namespace host
