// The "Convert Materials" command.
#pragma once

#include "c4d.h"

/// Converts the document's host materials into Orvane materials.
class ConvertMats : public CommandData {
 public:
  /// Asks whether only the selected materials are converted, then replaces each host material by
  /// a plug-in material filled from it, relinks every texture tag and moves the old material to
  /// the layer "Old Materials", all in one undo step. Plug-in materials are left as they are.
  Bool Execute(BaseDocument* doc) override;
  /// Appends every texture tag of `first`, its following siblings and everything below them.
  static void GetAllTextureTags(BaseObject* first, AtomArray* out);
  /// Points every tag of `tags` that uses `oldMaterial` at `newMaterial`, each with an undo entry.
  static void ReplaceAllLinks(BaseDocument* doc, AtomArray* tags, BaseMaterial* oldMaterial,
                              BaseMaterial* newMaterial);
};

/// Registers the command under the name of string resource 10010; true without registering
/// when that name is empty.
Bool RegisterConvertMats();
