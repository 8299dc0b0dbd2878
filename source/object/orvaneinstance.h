// The instance object: stands for another object of the scene.
#pragma once

#include "c4d.h"

class InstanceSuppresser;

/// A generator that stands for its linked object; the exporter writes the linked object at the
/// instance's place.
class OrvaneInstance : public ObjectData {
 public:
  /// A new object's data for the host.
  static NodeData* Alloc() { return new OrvaneInstance; }
};

/// Registers the object hidden from the plug-in menu under the name of string resource 10011 and
/// keeps the shared suppresser; true without registering when that name is empty.
Bool RegisterOrvaneInstance(InstanceSuppresser* suppresser);
