// The one entry for writing any host material as renderer XML.
#pragma once

#include <unordered_set>

#include "c4d.h"

class TiXmlElement;
struct OrvaneSceneData;

/// Appends the "material" element of `material` as the last child of `parent`. Does nothing when
/// the scene data, its document, the material or the parent is null, or when `done` (a list of the
/// materials written so far; null: no check) already holds the material, which is added to it
/// otherwise. The element is named "previewMat" with `preview`, else "background_material" with
/// `background` (which also gives a bitmap in the emission channel the spherical background
/// texture-coordinate generation), else the material's name in the export
/// (`OrvaneSceneData::MaterialName`). Each light layer the material uses is registered in the
/// scene data. Blend partners are written before the material that names them; however long a
/// chain of partners is, the call stack does not grow with it.
void ExportBaseMaterial(BaseMaterial* material, TiXmlElement* parent, AtomArray* done,
                        OrvaneSceneData* sceneData, int preview, int background);

/// Appends "material" holding "name" = `name` and an empty "null_material" to `parent`.
void AppendNullMaterial(const String& name, TiXmlElement* parent);

/// While one lives on the calling thread, the material export asks whether `list` (a list of
/// written materials) holds a material through a hashed index kept beside it, instead of
/// searching the list. A pass that hands one list to many calls keeps one for its duration. The
/// list may grow meanwhile, by the export or by anyone else, but must not lose entries.
class WrittenMaterialsIndex {
 public:
  /// Indexes `list` (not owned; null: nothing).
  explicit WrittenMaterialsIndex(AtomArray* list);
  ~WrittenMaterialsIndex();
  WrittenMaterialsIndex(const WrittenMaterialsIndex&) = delete;
  WrittenMaterialsIndex& operator=(const WrittenMaterialsIndex&) = delete;

  /// The index of `list` innermost on this thread, or null.
  static WrittenMaterialsIndex* Of(const AtomArray* list);
  /// True when the list holds `atom`.
  bool Holds(C4DAtom* atom);
  /// Appends `atom` to the list.
  void Add(C4DAtom* atom);

 private:
  // Takes in what the list gained since the last look (all of it anew when it shrank).
  void Sync();

  AtomArray* list_;
  std::unordered_set<const C4DAtom*> atoms_;
  LONG indexed_ = 0;
};
