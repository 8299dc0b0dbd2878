// The plug-in material: carries the renderer's material models.
#pragma once

#include "c4d.h"

/// The Orvane material.
class CustomOrvaneMaterial : public MaterialData {
 public:
  /// A new material's data for the host.
  static NodeData* Alloc() { return new CustomOrvaneMaterial; }
};

/// Registers the material under the name of string resource 10025 (hidden from the plug-in
/// menu); true without registering when that name is empty.
Bool RegisterCustomOrvaneMaterial();
