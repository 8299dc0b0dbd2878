// The one entry for writing any host material as renderer XML.
#pragma once

#include "c4d.h"

class TiXmlElement;
struct OrvaneSceneData;

/// Appends the "material" element of `material` as the last child of `parent`. Does nothing when
/// the scene data, its document, the material or the parent is null, or when `done` (a list of the
/// materials written so far; null: no check) already holds the material, which is added to it
/// otherwise. The element is named "previewMat" with `preview`, else "background_material" with
/// `background` (which also gives a bitmap in the emission channel the spherical background
/// texture-coordinate generation), else the material's unique name. Each light layer the material
/// uses is registered in the scene data.
void ExportBaseMaterial(BaseMaterial* material, TiXmlElement* parent, AtomArray* done,
                        OrvaneSceneData* sceneData, int preview, int background);
