// The material writers over 1,000 plug-in materials of every model with every channel on as a
// constant, next to TinyXML's own printing of the document they write.
#include <benchmark/benchmark.h>

#include <tinyxml.h>

#include "c4d.h"
#include "export/orvanescenedata.h"
#include "host_control.h"
#include "material/customorvanematerial.h"
#include "material/exportbasematerial.h"

namespace {

constexpr int kMaterials = 1000;

// A document of `kMaterials` plug-in materials cycling through every model, each with every
// channel switched on (no shader linked: each writes its constant); blend materials blend the two
// materials before them.
BaseDocument* MakeDocument() {
  host::ResetAll();
  RegisterMaterialPlugin(ID_CUSTOMORVANEMATERIAL, "Orvane Material", 0x20000001, CustomOrvaneMaterial::Alloc,
                         "Morvanematerial", 0);
  const LONG types[] = {MAT_TYPE_DIFFUSE,
                        MAT_TYPE_OREN_NAYAR,
                        MAT_TYPE_PHONG,
                        MAT_TYPE_DIFFUSE_TRANSMITTER,
                        MAT_TYPE_SPECULAR,
                        MAT_TYPE_BLEND,
                        MAT_TYPE_GLOSSY_TRANSPARENT,
                        MAT_TYPE_NULL};
  BaseDocument* doc = BaseDocument::Alloc();
  BaseMaterial* last = nullptr;
  BaseMaterial* beforeLast = nullptr;
  for (int i = 0; i < kMaterials; ++i) {
    BaseMaterial* mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    mat->SetName(String("Material ") + String::LongToString(i));
    BaseContainer* bc = mat->GetDataInstance();
    const LONG type = types[i % 8];
    bc->SetLong(MAT_TYPE, type);
    CustomOrvaneMaterial::SetChannels(bc);
    if (type != MAT_TYPE_BLEND && type != MAT_TYPE_NULL) {
      for (LONG id : {MAT_USE_ALBEDO, MAT_USE_BUMP, MAT_USE_DISPLACEMENT, MAT_USE_EMISSION, MAT_USE_EXPONENT,
                      MAT_USE_SIGMA, MAT_USE_ABSORPTION_LAYER})
        bc->SetBool(id, true);
    }
    if (type == MAT_TYPE_BLEND) {
      bc->SetLink(MAT_BLEND_A, beforeLast);
      bc->SetLink(MAT_BLEND_B, last);
    }
    doc->InsertMaterial(mat, last);
    beforeLast = last;
    last = mat;
  }
  return doc;
}

// Writes every material of `doc` under `root`, as the scene's material pass does (the scene data
// holds the export's name table).
void WriteAll(BaseDocument* doc, OrvaneSceneData* sd, TiXmlElement* root) {
  AtomArray* done = AtomArray::Alloc();
  {
    const WrittenMaterialsIndex index(done);
    for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext())
      ExportBaseMaterial(m, root, done, sd, 0, 0);
  }
  AtomArray::Free(done);
}

void BM_WriteMaterials(benchmark::State& state) {
  BaseDocument* doc = MakeDocument();
  OrvaneSceneData sd;
  sd.document = doc;
  sd.MakeMaterialNames();
  size_t elements = 0;
  for (auto _ : state) {
    TiXmlDocument xml;
    TiXmlElement* root = new TiXmlElement("scene");
    xml.LinkEndChild(root);
    WriteAll(doc, &sd, root);
    elements = 0;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) ++elements;
    benchmark::DoNotOptimize(root);
  }
  state.counters["elements"] = static_cast<double>(elements);
  state.SetItemsProcessed(state.iterations() * kMaterials);
  BaseDocument::Free(doc);
}
BENCHMARK(BM_WriteMaterials)->Unit(benchmark::kMillisecond);

void BM_PrintMaterials(benchmark::State& state) {
  BaseDocument* doc = MakeDocument();
  OrvaneSceneData sd;
  sd.document = doc;
  sd.MakeMaterialNames();
  TiXmlDocument xml;
  TiXmlElement* root = new TiXmlElement("scene");
  xml.LinkEndChild(root);
  WriteAll(doc, &sd, root);
  size_t bytes = 0;
  for (auto _ : state) {
    TiXmlPrinter printer;
    xml.Accept(&printer);
    bytes = printer.Size();
    benchmark::DoNotOptimize(printer.CStr());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations() * kMaterials);
  BaseDocument::Free(doc);
}
BENCHMARK(BM_PrintMaterials)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
