// A test double of the material export: records its calls and writes a recognisable element.
#pragma once

#include <string>
#include <vector>

#include "material/exportbasematerial.h"

/// One call of the material export as the double saw it.
struct ExportBaseMaterialCall {
  BaseMaterial* material;
  std::string parent;  ///< The parent element's name.
  AtomArray* done;
  OrvaneSceneData* sceneData;
  int preview, background;
};

/// Every call since the last `ClearExportBaseMaterialCalls`.
std::vector<ExportBaseMaterialCall>& ExportBaseMaterialCalls();
/// Forgets the recorded calls.
void ClearExportBaseMaterialCalls();
