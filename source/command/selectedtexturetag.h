// The selection that the bake and UVW commands work on: one texture tag of a plug-in material on
// a polygon object.
#pragma once

#include "c4d.h"

/// What `FindSelectedTextureTag` found.
struct SelectedTextureTag {
  TextureTag* tag = nullptr;         ///< The selected texture tag.
  PolygonObject* object = nullptr;   ///< The polygon object that carries it.
  BaseMaterial* material = nullptr;  ///< The tag's plug-in material.
};

/// True, with `out` filled, when the document's selection holds exactly one texture tag, its
/// material exists and is a plug-in material, and its object is a polygon object; false (and
/// `out` cleared) otherwise, also for a null document.
bool FindSelectedTextureTag(BaseDocument* doc, SelectedTextureTag* out);
