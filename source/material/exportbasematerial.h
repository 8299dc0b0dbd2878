// The one entry for writing any host material as renderer XML.
#pragma once

#include <unordered_map>

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

/// While one lives on the calling thread, the material export takes the unique names of the
/// materials of `doc` from a table made once when it is created (each name as
/// `Helpers::GetUniqueMaterialName` gives it then) instead of walking the document's material list
/// for every name. A pass that writes many materials keeps one for its duration; the document's
/// material list must not change meanwhile (the temporary material of a conversion comes and goes
/// within one material's write and names nothing).
class MaterialNameTable {
 public:
  explicit MaterialNameTable(BaseDocument* doc);
  ~MaterialNameTable();
  MaterialNameTable(const MaterialNameTable&) = delete;
  MaterialNameTable& operator=(const MaterialNameTable&) = delete;

  /// The unique name of `mat` in `doc`: from the innermost table of this thread made for `doc`,
  /// else from `Helpers::GetUniqueMaterialName`.
  static String Name(BaseMaterial* mat, BaseDocument* doc);

 private:
  BaseDocument* doc_;
  std::unordered_map<BaseMaterial*, String> names_;
};
