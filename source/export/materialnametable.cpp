#include "export/materialnametable.h"

#include "main/helpers.h"

MaterialNameTable::MaterialNameTable(BaseDocument* doc) : doc_(doc) {
  LONG position = 0;
  for (BaseMaterial* m = doc ? doc->GetFirstMaterial() : nullptr; m; m = m->GetNext(), ++position)
    names_.emplace(m, Helpers::MaterialExportName(m->GetName(), position));
}

String MaterialNameTable::Name(BaseMaterial* mat) const {
  if (!mat) return String();
  auto found = names_.find(mat);
  return found != names_.end() ? found->second : Helpers::GetUniqueMaterialName(mat, doc_);
}

String MaterialNameTable::Name(const MaterialNameTable* table, BaseMaterial* mat, BaseDocument* doc) {
  if (table && table->doc_ == doc) return table->Name(mat);
  return Helpers::GetUniqueMaterialName(mat, doc);
}
