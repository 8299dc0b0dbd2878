// Cost of reading a material file: TinyXML's bare parse of the text next to
// the full read (bounded loading, TinyXML, and every material through its
// entry point), on one generated file of 1,000 materials that cycles through
// every material type in its current and older forms. The validation's cost is
// BM_ValidationOverhead: both reads interleaved, the median of repetitions.

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <tinyxml.h>

#include "orvane_utils/OrvaneMaterialCheck.h"
#include "orvane_utils/OrvaneSceneParseUtils.h"
#include "orvane_utils/OrvaneXMLLoader.h"

using namespace Orvane;

namespace {

const int kMaterials = 1000;

// The fields of a texture, for a "texture" element or an old single-texture
// element.
std::string textureFields(int i) {
  std::ostringstream os;
  os << "<path>textures/t" << i << ".png</path><a>0</a><b>1</b><c>0</c><uv_set>default</uv_set>"
     << "<exponent>2.2</exponent><tex_coord_generation>";
  switch (i % 3) {
    case 0: os << "<uv><matrix>1 0 0 1</matrix><translation>0.5 0.25</translation></uv>"; break;
    case 1:
      os << "<spherical><rotation><axis_rotation><axis>0 0 "
            "1</axis><angle>1.5</angle></axis_rotation></rotation>"
            "</spherical>";
      break;
    default:
      os << "<spherical_environment><rotation><matrix>1 0 0 0 1 0 0 0 1</matrix></rotation>"
            "</spherical_environment>";
  }
  os << "</tex_coord_generation>";
  return os.str();
}

std::string texture(int i) { return "<texture>" + textureFields(i) + "</texture>\n"; }

std::string spectrum(int i) {
  switch (i % 5) {
    case 0: return "<rgb><rgb>0.8 0.2 0.1</rgb><gamma>2.2</gamma></rgb>";
    case 1: return "<uniform><value>0.5</value></uniform>";
    case 2:
      return "<peak><peak_min>5e-7</peak_min><peak_width>1e-7</peak_width><peak_value>1</peak_value>"
             "<base_value>0</base_value></peak>";
    case 3: return "<blackbody><temperature>5500</temperature><gain>1</gain></blackbody>";
    default: {
      std::ostringstream os;
      os << "<regular_tabulated><start_wavelength>3.8e-7</start_wavelength><end_wavelength>7.8e-7"
            "</end_wavelength><num_values>16</num_values><values>";
      for (int k = 0; k < 16; ++k) os << 0.05 * k << " ";
      os << "</values></regular_tabulated>";
      return os.str();
    }
  }
}

// A spectral parameter in one of its three forms.
std::string spectral(const char* name, int i) {
  std::ostringstream os;
  os << "<" << name << ">";
  switch (i % 3) {
    case 0: os << "<constant>" << spectrum(i) << "</constant>"; break;
    case 1: os << "<texture><texture_index>0</texture_index></texture>"; break;
    default:
      os << "<shader><shader><![CDATA[def eval(vec3 pos) vec3 : vec3(0.5, 0.5, 0.5)]]></shader></shader>";
  }
  os << "</" << name << ">\n";
  return os.str();
}

// A scalar or displacement parameter in one of its three forms.
std::string scalar(const char* name, int i, const char* constant) {
  std::ostringstream os;
  os << "<" << name << ">";
  switch (i % 3) {
    case 0: os << "<constant>" << constant << "</constant>"; break;
    case 1: os << "<texture><texture_index>0</texture_index></texture>"; break;
    default: os << "<shader><shader><![CDATA[def eval(vec3 pos) real : 0.5]]></shader></shader>";
  }
  os << "</" << name << ">\n";
  return os.str();
}

std::string table(const char* name) {
  std::ostringstream os;
  os << "<" << name << "><start_wavelength>4e-7</start_wavelength><end_wavelength>7e-7</end_wavelength>"
     << "<num_rows>4</num_rows><num_columns>8</num_columns><values>";
  for (int k = 0; k < 32; ++k) os << 0.03125 * k << " ";
  os << "</values></" << name << ">\n";
  return os.str();
}

std::string material(int i) {
  std::ostringstream os;
  os << "<material>\n<name>material " << i << "</name>\n";
  const int kind = i % 10;
  const int form = i / 10;
  switch (kind) {
    case 0:
      os << "<diffuse>\n"
         << texture(i) << spectral("albedo", form) << scalar("bump", form, "0.01")
         << "<random_triangle_colours>false</random_triangle_colours><layer>0</layer>\n</diffuse>\n";
      break;
    case 1:
      os << "<diffuse>\n<colour>0.7 0.7 0.7</colour>\n"
         << texture(i) << "<albedo_texture>" << textureFields(i + 1) << "</albedo_texture>\n</diffuse>\n";
      break;
    case 2:
      os << "<phong>\n"
         << texture(i) << spectral("diffuse_albedo", form) << spectral("specular_reflectivity", form + 1)
         << scalar("exponent", form, "100") << scalar("displacement", form, "0") << spectral("emission", form)
         << "<fresnel_scale>1</fresnel_scale><ior>1.5</ior><nk_data></nk_data>\n</phong>\n";
      break;
    case 3:
      os << "<phong>\n<exponent>250</exponent><diffuse>0.5 0.4 0.3</diffuse><ior>1.4</ior>\n"
         << texture(i) << "</phong>\n";
      break;
    case 4:
      os << "<specular>\n<internal_medium_name>glass</internal_medium_name><transparent>true</transparent>\n"
         << spectral("absorption_layer_transmittance", form) << texture(i)
         << "<arch_glass>false</arch_glass>\n"
         << table("tabulated_transmission_coefficient") << "</specular>\n";
      break;
    case 5:
      os << "<glossy_transparent>\n<internal_medium_name>glass</internal_medium_name>\n"
         << texture(i) << scalar("exponent", form, "1000") << "<bump_map>" << textureFields(i + 2)
         << "</bump_map>\n"
         << "</glossy_transparent>\n";
      break;
    case 6:
      os << "<glossy_transparent>\n<internal_medium_name>glass</internal_medium_name><exponent>500</"
            "exponent>\n"
         << spectral("base_emission", form) << texture(i) << "</glossy_transparent>\n";
      break;
    case 7:
      os << "<diffuse_transmitter>\n"
         << texture(i) << "<albedo_spectrum>" << spectrum(form) << "</albedo_spectrum>\n"
         << scalar("displacement", form, "0.1") << "</diffuse_transmitter>\n";
      break;
    case 8:
      os << "<oren_nayar>\n"
         << texture(i) << spectral("albedo", form)
         << (form % 2 ? scalar("sigma", form, "0.3") : std::string("<sigma>0.3</sigma>\n"))
         << "</oren_nayar>\n";
      break;
    default:
      if (form % 2)
        os << "<blend>\n"
           << texture(i) << "<a_name>material " << i - 1 << "</a_name><b_name>material " << i - 2
           << "</b_name>\n"
           << scalar("blend", form, "0.5") << "<step_blend>false</step_blend>\n</blend>\n";
      else
        os << "<blend>\n<a_name>material " << i - 1 << "</a_name><b_name>material " << i - 2
           << "</b_name><blend_factor>0.25</blend_factor>\n</blend>\n";
  }
  os << "</material>\n";
  return os.str();
}

const std::string& materialFile() {
  static const std::string file = [] {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<scenedata>\n";
    for (int i = 0; i < kMaterials; ++i) text += material(i);
    text += "</scenedata>\n";
    return text;
  }();
  return file;
}

// Every material of a parsed document through its entry point; the number
// that parsed.
int readMaterials(const TiXmlDocument& doc) {
  int parsed = 0;
  const TiXmlElement* scenedata = doc.FirstChildElement("scenedata");
  for (const TiXmlElement* m = scenedata->FirstChildElement("material"); m;
       m = m->NextSiblingElement("material")) {
    const TiXmlElement* type = OrvaneMaterialCheck::findTypeElement(*m);
    const Reference<OrvaneMaterial> material = OrvaneMaterialCheck::parseTypeElement(*type);
    parsed += material.getPointer() ? 1 : 0;
  }
  return parsed;
}

void BM_TinyXmlParse(benchmark::State& state) {
  const std::string& text = materialFile();
  for (auto _ : state) {
    TiXmlDocument doc;
    doc.Parse(text.c_str());
    benchmark::DoNotOptimize(doc.RootElement());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["materials/s"] =
      benchmark::Counter(static_cast<double>(kMaterials), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_TinyXmlParse)->Unit(benchmark::kMillisecond);

void BM_FullParse(benchmark::State& state) {
  const std::string& text = materialFile();
  for (auto _ : state) {
    TiXmlDocument doc;
    std::string error;
    if (!OrvaneXMLLoader::parse(text, doc, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    int parsed = 0;
    try {
      parsed = readMaterials(doc);
    } catch (const OrvaneSceneParseUtilsExcep& e) {
      state.SkipWithError(e.what().c_str());
      break;
    }
    if (parsed != kMaterials) {
      state.SkipWithError("not every material parsed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["materials/s"] =
      benchmark::Counter(static_cast<double>(kMaterials), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FullParse)->Unit(benchmark::kMillisecond);

// The parts of the full read on their own.
void BM_LoaderMeasure(benchmark::State& state) {
  const std::string text = OrvaneXMLLoader::prepare(materialFile());
  for (auto _ : state) benchmark::DoNotOptimize(OrvaneXMLLoader::measure(text.c_str()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LoaderMeasure)->Unit(benchmark::kMillisecond);

void BM_EntryPointsOnly(benchmark::State& state) {
  TiXmlDocument doc;
  doc.Parse(materialFile().c_str());
  for (auto _ : state) benchmark::DoNotOptimize(readMaterials(doc));
  state.counters["materials/s"] =
      benchmark::Counter(static_cast<double>(kMaterials), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EntryPointsOnly)->Unit(benchmark::kMillisecond);

// The full read against TinyXML's bare parse of the same bytes, one after the
// other in every iteration (the order alternating), so that both see the same
// state of the machine. Reported per repetition as both times and the full
// read's cost above the bare parse; the median of the repetitions is the
// figure to quote.
void BM_ValidationOverhead(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const std::string& text = materialFile();
  auto bare = [&] {
    TiXmlDocument doc;
    doc.Parse(text.c_str());
    benchmark::DoNotOptimize(doc.RootElement());
  };
  auto full = [&]() -> bool {
    TiXmlDocument doc;
    std::string error;
    return OrvaneXMLLoader::parse(text, doc, error) && readMaterials(doc) == kMaterials;
  };
  double bareSeconds = 0.0, fullSeconds = 0.0;
  bool fullFirst = false;
  for (auto _ : state) {
    double took[2] = {0.0, 0.0};
    for (int k = 0; k < 2; ++k) {
      const bool doFull = (k == 0) == fullFirst;
      const Clock::time_point start = Clock::now();
      if (doFull) {
        if (!full()) {
          state.SkipWithError("the full read failed");
          return;
        }
      } else
        bare();
      took[doFull ? 1 : 0] = std::chrono::duration<double>(Clock::now() - start).count();
    }
    fullFirst = !fullFirst;
    bareSeconds += took[0];
    fullSeconds += took[1];
    state.SetIterationTime(took[0] + took[1]);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["bare_ms"] = bareSeconds / n * 1e3;
  state.counters["full_ms"] = fullSeconds / n * 1e3;
  state.counters["overhead_pct"] = (fullSeconds / bareSeconds - 1.0) * 100.0;
}
BENCHMARK(BM_ValidationOverhead)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min",
                        [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ComputeStatistics("max",
                        [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });

}  // namespace

BENCHMARK_MAIN();
