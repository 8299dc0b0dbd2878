// The MySubdivision tag.
#pragma once

#include "c4d.h"
#include "tag/mysubdivisionids.h"

/// The renderer's subdivision settings of a mesh.
class MySubdivision : public TagData {
 public:
  /// A new tag's data for the host.
  static NodeData* Alloc() { return new MySubdivision; }
  /// Sets the initial subdivision settings.
  Bool Init(GeListNode* node) override;
  /// The pixel threshold can be edited only while view-dependent subdivision is on; everything
  /// else always. False without a node.
  Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                    const BaseContainer* itemdesc) override;
  /// Loads the tag's description resource; false when it cannot be loaded. The flags stay.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// Takes no part in the document's evaluation.
  LONG Execute(BaseTag* tag, BaseDocument* doc, BaseObject* op, BaseThread* bt, LONG priority,
               LONG flags) override;
};

/// Registers the tag under the name of string resource 10016; true without registering when
/// that name is empty.
Bool RegisterMySubdivision();
