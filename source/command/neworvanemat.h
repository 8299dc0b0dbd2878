// The "New Orvane Material" command.
#pragma once

#include "c4d.h"

/// Creates a new Orvane material in the document.
class NewOrvaneMat : public CommandData {
 public:
  /// Inserts a plug-in material with its defaults first in the material list, in one undo step.
  Bool Execute(BaseDocument* doc) override;
};

/// Registers the command under the name of string resource 10024; true without registering
/// when that name is empty.
Bool RegisterNewOrvaneMat();
