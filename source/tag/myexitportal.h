// The MyExitPortal tag.
#pragma once

#include "c4d.h"
#include "tag/myexitportalids.h"

/// Marks a polygon object as an exit portal of the scene.
class MyExitPortal : public TagData {
 public:
  /// A new tag's data for the host.
  static NodeData* Alloc() { return new MyExitPortal; }
  /// Switches the portal on.
  Bool Init(GeListNode* node) override;
  /// Loads the tag's description resource; false when it cannot be loaded. The flags stay.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// Takes no part in the document's evaluation.
  LONG Execute(BaseTag* tag, BaseDocument* doc, BaseObject* op, BaseThread* bt, LONG priority,
               LONG flags) override;
};

/// Registers the tag under the name of string resource 10006; true without registering when
/// that name is empty.
Bool RegisterMyExitPortal();
