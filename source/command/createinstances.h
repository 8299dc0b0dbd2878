// The "Creates Instances" command.
#pragma once

#include "c4d.h"

/// Creates an instance object for each selected object.
class CreateInstances : public CommandData {
 public:
  /// Puts an instance linked to each selected object directly after it, at the object's world
  /// placement and with its name; without a selected object one unlinked instance goes first in
  /// the document and becomes the selection. One undo step.
  Bool Execute(BaseDocument* doc) override;
};

/// Registers the command under the name of string resource 10011; true without registering
/// when that name is empty.
Bool RegisterCreateInstances();
