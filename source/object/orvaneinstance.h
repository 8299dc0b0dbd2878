// The instance object: stands for another object of the scene.
#pragma once

#include <vector>

#include "c4d.h"

class InstanceSuppresser;

/// A generator that stands for its linked object. The exporter writes the linked object at the
/// instance's place itself; in the viewport the instance draws the linked object; towards renderers
/// it generates a copy of it only while no export runs, and never for the host's own renderer.
class OrvaneInstance : public ObjectData {
 public:
  /// How the viewport shows the linked object.
  enum InstanceDrawMode { DRAW_BOX, DRAW_WIREFRAME, DRAW_SHADED };

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
  /// Loads the description and shows either the link or the box extent.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// Draws the linked object in the object pass, then whatever the base draws.
  LONG Draw(BaseObject* op, LONG drawpass, BaseDraw* bd, BaseDrawHelp* bh) override;
  /// Draws `obj` (and, unless `single`, its following siblings) with their subtrees, each at the
  /// parent matrix `m` times its own (with `single`: at `m` itself), in `style`. Instances among
  /// them draw their links; an instance whose link leads back to it draws nothing of it.
  void RecoursiveDraw(BaseObject* obj, BaseDraw* bd, BaseDrawHelp* bh, const LMatrix& m, Bool single,
                      InstanceDrawMode style, LONG drawpass, Bool visible);
  /// The extent: nothing for an instance that stands for nothing (of its own parent, or in a
  /// cycle of instances), else the box parameters when they are switched on, else the linked
  /// object's, else 50 around the instance.
  void GetDimension(BaseObject* op, LVector* mp, LVector* rad) override;

 private:
  // `RecoursiveDraw` with the instances whose links are being drawn, innermost last.
  void DrawObjects(BaseObject* obj, BaseDraw* bd, BaseDrawHelp* bh, const LMatrix& m, Bool single,
                   InstanceDrawMode style, LONG drawpass, Bool visible, std::vector<BaseObject*>& chain);
};

/// True when following `link` (its subtree, and the links of the instance objects met there, again
/// and again) leads back to `instance`: an instance of its own parent, or instances that link one
/// another in a cycle. Such an instance stands for nothing.
Bool InstanceLeadsBack(BaseObject* instance, BaseObject* link);

/// Registers the object hidden from the plug-in menu under the name of string resource 10011 and
/// keeps the shared suppresser; true without registering when that name is empty.
Bool RegisterOrvaneInstance(InstanceSuppresser* suppresser);
