// Cost of importing a material file into a document: the bare validated parse (TinyXML and every
// material through its reader) next to the whole import (the same parse, then the plug-in
// materials with their parameters, media and partners), on one file of 1,000 materials that
// cycles through every material type with constant channels.
#include <benchmark/benchmark.h>
#include <tinyxml.h>

#include <sstream>
#include <string>

#include "c4d.h"
#include "command/importovm.h"
#include "host_control.h"
#include "host_user.h"
#include "material/customorvanematerial.h"
#include "orvane_utils/OrvaneMaterialCheck.h"
#include "shader/ovlshader.h"

namespace {

const int kMaterials = 1000;

std::string Spectrum(int i) {
  switch (i % 3) {
    case 0: return "<constant><rgb><rgb>0.8 0.2 0.1</rgb><gamma>2.2</gamma></rgb></constant>";
    case 1: return "<constant><uniform><value>0.5</value></uniform></constant>";
    default: return "<constant><rgb><rgb>2 1 0.5</rgb><gamma>1</gamma></rgb></constant>";
  }
}

std::string TypeElement(int i) {
  const std::string albedo = "<albedo>" + Spectrum(i) + "</albedo>";
  const std::string emission = "<base_emission>" + Spectrum(i + 1) + "</base_emission><layer>2</layer>";
  switch (i % 8) {
    case 0: return "<diffuse>" + albedo + emission + "</diffuse>";
    case 1:
      return "<oren_nayar>" + albedo + "<sigma><constant>0.3</constant></sigma>" + emission + "</oren_nayar>";
    case 2: return "<diffuse_transmitter>" + albedo + emission + "</diffuse_transmitter>";
    case 3:
      return "<phong><diffuse_albedo>" + Spectrum(i) +
             "</diffuse_albedo><exponent><constant>100</constant></exponent>"
             "<ior>1.5</ior>" +
             emission + "</phong>";
    case 4:
      return "<specular><internal_medium_name>glass</internal_medium_name><transparent>true</transparent>" +
             emission + "</specular>";
    case 5:
      return "<glossy_transparent><exponent><constant>1000</constant></exponent><internal_medium_name>glass"
             "</internal_medium_name>" +
             emission + "</glossy_transparent>";
    case 6:
      return "<blend><a_name>m" + std::to_string(i - 6) + "</a_name><b_name>m" + std::to_string(i - 5) +
             "</b_name><blend><constant>0.5</constant></blend><step_blend>false</step_blend></blend>";
    default: return "<null_material/>";
  }
}

const std::string& MaterialFile() {
  static const std::string text = [] {
    std::ostringstream os;
    os << "<scenedata>\n";
    for (int i = 0; i < kMaterials; ++i)
      os << "<material><name>m" << i << "</name>" << TypeElement(i) << "</material>\n";
    os << "<medium><name>glass</name><precedence>10</precedence><basic><ior>1.5</ior><cauchy_b_coeff>0</"
          "cauchy_b_coeff>"
          "<absorption_coefficient_spectrum><rgb><rgb>0.2 0.4 0.5</rgb><gamma>1</gamma></rgb>"
          "</absorption_coefficient_spectrum></basic></medium>\n</scenedata>\n";
    return os.str();
  }();
  return text;
}

void SetUpHost() {
  static const bool ready = [] {
    host::ResetAll();
    host::OverrideString(10025, "Orvane Material");
    host::OverrideString(10019, "OVL");
    return RegisterCustomOrvaneMaterial() && RegisterOVL();
  }();
  if (!ready) std::abort();
}

// TinyXML's parse and every material through the reader its type element names.
void BM_ValidatedParse(benchmark::State& state) {
  const std::string& text = MaterialFile();
  for (auto _ : state) {
    TiXmlDocument xml;
    xml.Parse(text.c_str());
    int parsed = 0;
    const TiXmlElement* root = xml.FirstChildElement("scenedata");
    for (const TiXmlElement* m = root->FirstChildElement("material"); m;
         m = m->NextSiblingElement("material")) {
      const TiXmlElement* type = Orvane::OrvaneMaterialCheck::findTypeElement(*m);
      if (type && type->ValueStr() != "null_material") {
        Orvane::OrvaneMaterialCheck::parseTypeElement(*type);
        ++parsed;
      }
    }
    benchmark::DoNotOptimize(parsed);
  }
  state.SetItemsProcessed(state.iterations() * kMaterials);
}
BENCHMARK(BM_ValidatedParse)->Unit(benchmark::kMillisecond);

// The same parse, and the import into an empty document.
void BM_Import(benchmark::State& state) {
  SetUpHost();
  const std::string& text = MaterialFile();
  for (auto _ : state) {
    TiXmlDocument xml;
    xml.Parse(text.c_str());
    BaseDocument* doc = BaseDocument::Alloc();
    ImportOVM import;
    import.ImportXml(doc, xml, Filename("/bench/materials.ovm"));
    if (!import.warnings.empty() || !doc->GetFirstMaterial()) state.SkipWithError("the import failed");
    state.PauseTiming();
    BaseDocument::Free(doc);
    host::user::Reset();
    host::ClearConsole();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMaterials);
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
