// The medium import: the "medium" element that a specular or glossy transparent material names,
// read straight from the XML onto the medium parameters of the plug-in material.
#include <tinyxml.h>

#include <sstream>

#include "command/importovm.h"
#include "command/importtext.h"
#include "main/helpers.h"
#include "material/materialparams.h"

namespace {

// The parameters of one medium spectrum (absorption or scattering).
struct SpectrumIds {
  int kind, uniform, temperature, gain, peakMin, peakWidth, baseValue, peakValue;
  int colour, brightness, gamma, tabStart, tabEnd, tabCount, tabValues;
  bool invertColour;  // an absorption colour is stored as what passes through
};

constexpr SpectrumIds kAbsorption = {
    MAT_ABSORPTION_SPECTRUM, MAT_ABSORPTION_UNIFORM,    MAT_ABSORPTION_TEMPERATURE, MAT_ABSORPTION_GAIN,
    MAT_ABSORPTION_PEAK_MIN, MAT_ABSORPTION_PEAK_WIDTH, MAT_ABSORPTION_BASE_VALUE,  MAT_ABSORPTION_PEAK_VALUE,
    MAT_ABSORPTION_COLOR,    MAT_ABSORPTION_SCALE,      MAT_ABSORPTION_GAMMA,       MAT_ABSORPTION_TAB_START,
    MAT_ABSORPTION_TAB_END,  MAT_ABSORPTION_TAB_COUNT,  MAT_ABSORPTION_TAB_VALUES,  true};
constexpr SpectrumIds kScattering = {
    MAT_SCATTERING_SPECTRUM, MAT_SCATTERING_UNIFORM,    MAT_SCATTERING_TEMPERATURE, MAT_SCATTERING_GAIN,
    MAT_SCATTERING_PEAK_MIN, MAT_SCATTERING_PEAK_WIDTH, MAT_SCATTERING_BASE_VALUE,  MAT_SCATTERING_PEAK_VALUE,
    MAT_SCATTERING_COLOR,    MAT_SCATTERING_SCALE,      MAT_SCATTERING_GAMMA,       MAT_SCATTERING_TAB_START,
    MAT_SCATTERING_TAB_END,  MAT_SCATTERING_TAB_COUNT,  MAT_SCATTERING_TAB_VALUES,  false};

const TiXmlElement* Child(const TiXmlElement* e, const char* name) {
  return e ? e->FirstChildElement(name) : nullptr;
}

// The element's text; empty for an element without text.
String Text(const TiXmlElement* e) { return ImportText(e ? e->GetText() : nullptr); }

// Stores the child `name` of `e` as a real under `id` when it exists.
void ReadReal(BaseContainer* data, const TiXmlElement* e, const char* name, int id) {
  if (const TiXmlElement* c = Child(e, name)) data->SetReal(id, Helpers::StringToReal(Text(c)));
}

// One spectrum element; each kind present writes its values, the last one in the order uniform,
// blackbody, peak, rgb, regular_tabulated decides the kind.
void ImportMediumSpectrum(ImportOVM* import, BaseContainer* data, const TiXmlElement* spectrum,
                          const SpectrumIds& ids) {
  if (const TiXmlElement* u = Child(spectrum, "uniform")) {
    data->SetLong(ids.kind, MAT_SPECTRUM_UNIFORM);
    ReadReal(data, u, "value", ids.uniform);
  }
  if (const TiXmlElement* b = Child(spectrum, "blackbody")) {
    data->SetLong(ids.kind, MAT_SPECTRUM_BLACKBODY);
    ReadReal(data, b, "temperature", ids.temperature);
    ReadReal(data, b, "gain", ids.gain);
  }
  if (const TiXmlElement* p = Child(spectrum, "peak")) {
    data->SetLong(ids.kind, MAT_SPECTRUM_PEAK);
    ReadReal(data, p, "peak_min", ids.peakMin);
    ReadReal(data, p, "peak_width", ids.peakWidth);
    ReadReal(data, p, "base_value", ids.baseValue);
    ReadReal(data, p, "peak_value", ids.peakValue);
  }
  if (const TiXmlElement* rgb = Child(spectrum, "rgb")) {
    data->SetLong(ids.kind, MAT_SPECTRUM_RGB);
    if (const TiXmlElement* values = Child(rgb, "rgb")) {
      Real brightness = 1.0;
      LVector c = import->StringToVector(Text(values), &brightness);
      if (ids.invertColour) c = LVector(1.0 - c.x, 1.0 - c.y, 1.0 - c.z);
      data->SetVector(ids.colour, c);
      data->SetReal(ids.brightness, brightness);
    }
    ReadReal(data, rgb, "gamma", ids.gamma);
  }
  if (const TiXmlElement* t = Child(spectrum, "regular_tabulated")) {
    data->SetLong(ids.kind, MAT_SPECTRUM_TABULATED);
    if (const TiXmlElement* c = Child(t, "start_wavelength")) data->SetString(ids.tabStart, Text(c));
    if (const TiXmlElement* c = Child(t, "end_wavelength")) data->SetString(ids.tabEnd, Text(c));
    if (const TiXmlElement* c = Child(t, "num_values"))
      data->SetLong(ids.tabCount, Helpers::StringToLong(Text(c)));
    if (const TiXmlElement* c = Child(t, "values")) data->SetString(ids.tabValues, Text(c));
  }
}

}  // namespace

LVector ImportOVM::StringToVector(String text, Real* brightness) {
  std::istringstream words(Helpers::ToUTF8String(text));
  double v[3] = {0.0, 0.0, 0.0};
  std::string word;
  for (int i = 0; i < 3 && words >> word; ++i) v[i] = Helpers::StringToReal(String(word));
  return ColorVectorConversion(LVector(v[0], v[1], v[2]), brightness);
}

void ImportOVM::ImportMedium(BaseContainer* container, TiXmlElement* sceneDataElement, String mediumName) {
  if (!container || !sceneDataElement) return;
  // The first medium of each name, looked up once per file.
  if (mediaSceneData_ != sceneDataElement || !running_) {
    mediaByName_.clear();
    mediaSceneData_ = sceneDataElement;
    for (const TiXmlElement* m = sceneDataElement->FirstChildElement("medium"); m;
         m = m->NextSiblingElement("medium")) {
      if (const TiXmlElement* name = m->FirstChildElement("name")) mediaByName_.emplace(Text(name), m);
    }
  }
  auto found = mediaByName_.find(mediumName);
  if (found == mediaByName_.end()) return;
  const TiXmlElement* medium = found->second;
  const TiXmlElement* precedence = Child(medium, "precedence");
  if (!precedence) return;
  container->SetLong(MAT_MEDIUM_PRECEDENCE, Helpers::StringToLong(Text(precedence)));
  const TiXmlElement* basic = Child(medium, "basic");
  if (!basic) return;
  container->SetLong(MAT_MEDIUM_TYPE, MAT_MEDIUM_BASIC);
  ReadReal(container, basic, "ior", MAT_MEDIUM_IOR);
  ReadReal(container, basic, "cauchy_b_coeff", MAT_MEDIUM_CAUCHY_B);
  if (const TiXmlElement* a = Child(basic, "absorption_coefficient_spectrum"))
    ImportMediumSpectrum(this, container, a, kAbsorption);

  const TiXmlElement* sss = Child(basic, "subsurface_scattering");
  if (!sss) return;
  container->SetBool(MAT_USE_SUBSURFACE, TRUE);
  if (const TiXmlElement* s = Child(sss, "scattering_coefficient_spectrum"))
    ImportMediumSpectrum(this, container, s, kScattering);

  const TiXmlElement* phase = Child(sss, "phase_function");
  if (!phase) return;
  if (Child(phase, "uniform")) container->SetLong(MAT_PHASE_FUNCTION, MAT_PHASE_UNIFORM);
  const TiXmlElement* hg = Child(phase, "henyey_greenstein");
  if (!hg) return;
  container->SetLong(MAT_PHASE_FUNCTION, MAT_PHASE_HENYEY_GREENSTEIN);
  const TiXmlElement* g = Child(hg, "g_spectrum");
  if (!g) return;
  if (const TiXmlElement* u = Child(g, "uniform")) {
    if (const TiXmlElement* value = Child(u, "value")) {
      const Real v = Helpers::StringToReal(Text(value));
      container->SetVector(MAT_PHASE_G, LVector(v, v, v));
    }
  }
  const TiXmlElement* rgb = Child(g, "rgb");
  if (!rgb) return;
  if (const TiXmlElement* values = Child(rgb, "rgb"))
    container->SetVector(MAT_PHASE_G, StringToVector(Text(values), nullptr));
  ReadReal(container, rgb, "gamma", MAT_PHASE_G_GAMMA);
}
