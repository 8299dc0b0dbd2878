// The instance object: stands for another object of the scene.
#pragma once

#include "c4d.h"

class InstanceSuppresser;

/// A generator that stands for its linked object. The exporter writes the linked object at the
/// instance's place itself; in the viewport the instance draws the linked object; towards renderers
/// it generates a copy of it only while no export runs, and never for the host's own renderer.
class OrvaneInstance : public ObjectData {
 public:
  /// A new object's data for the host.
  static NodeData* Alloc() { return new OrvaneInstance; }

  /// Writes the defaults of a new instance.
  Bool Init(GeListNode* node) override;
  /// True for every message.
  Bool Message(GeListNode* node, LONG type, void* data) override;
  /// A copy of the linked object, placed at the instance, when the host builds its caches for an
  /// external renderer and no export runs; nothing for the host's own renderer, for the editor,
  /// for a switched-off instance, without a link, or when the link leads back to the instance.
  BaseObject* GetVirtualObjects(BaseObject* op, HierarchyHelp* hh) override;
  /// The extent: nothing for an instance that stands for nothing (of its own parent, or in a
  /// cycle of instances), else the box parameters when they are switched on, else the linked
  /// object's, else 50 around the instance.
  void GetDimension(BaseObject* op, LVector* mp, LVector* rad) override;
};

/// True when following `link` (its subtree, and the links of the instance objects met there, again
/// and again) leads back to `instance`: an instance of its own parent, or instances that link one
/// another in a cycle. Such an instance stands for nothing.
Bool InstanceLeadsBack(BaseObject* instance, BaseObject* link);

/// Registers the object hidden from the plug-in menu under the name of string resource 10011 and
/// keeps the shared suppresser; true without registering when that name is empty.
Bool RegisterOrvaneInstance(InstanceSuppresser* suppresser);
