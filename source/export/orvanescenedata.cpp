#include "export/orvanescenedata.h"

OrvaneSceneData::OrvaneSceneData() : clayAlbedo(0.71, 0.62, 0.53) {}

unsigned OrvaneSceneData::AddLightLayer(int layer) {
  auto found = lightLayers.find(layer);
  if (found != lightLayers.end()) return static_cast<unsigned>(found->second);
  const int index = static_cast<int>(lightLayers.size());
  lightLayers.emplace(layer, index);
  return static_cast<unsigned>(index);
}

void OrvaneSceneData::MakeMaterialNames() { materialNames.reset(new MaterialNameTable(document)); }

String OrvaneSceneData::MaterialName(BaseMaterial* mat) const {
  return MaterialNameTable::Name(materialNames.get(), mat, document);
}
