// The exported names of a document's materials, made once per export.
#pragma once

#include <unordered_map>

#include "c4d.h"

/// The names under which one export writes and refers to the materials of its document, each made
/// by `Helpers::MaterialExportName` from the material's name and its position in the document's
/// material list when the table is built. An export builds its table before it writes anything
/// and only reads it afterwards, so its threads may share it; the document's material list must
/// not change meanwhile (the temporary material of a conversion comes and goes within one
/// material's write and is never named).
class MaterialNameTable {
 public:
  /// The names of every material of `doc` (none for a null document).
  explicit MaterialNameTable(BaseDocument* doc);
  MaterialNameTable(const MaterialNameTable&) = delete;
  MaterialNameTable& operator=(const MaterialNameTable&) = delete;

  /// The name of `mat`: from the table when it holds the material, else (a material of no list or
  /// of another one) `Helpers::GetUniqueMaterialName` in the table's document. Empty for null.
  String Name(BaseMaterial* mat) const;
  /// The name of `mat` in `doc`: from `table` when there is one made for `doc`, else
  /// `Helpers::GetUniqueMaterialName(mat, doc)`.
  static String Name(const MaterialNameTable* table, BaseMaterial* mat, BaseDocument* doc);

 private:
  BaseDocument* doc_;
  std::unordered_map<const BaseMaterial*, String> names_;
};
