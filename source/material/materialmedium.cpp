// The "medium" element that a specular or glossy-transparent material encloses: its kind (basic
// with optional subsurface scattering, dermis, epidermis, atmosphere), its absorption and
// scattering spectra and its phase function.
#include <tinyxml.h>

#include "export/orvanescenedata.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "material/customorvanematerial.h"

namespace {

// The parameter IDs of one spectrum (absorption or scattering) of the medium.
struct SpectrumIds {
  int kind;
  int colour, gamma, scale;
  int temperature, gain;
  int peakMin, peakWidth, baseValue, peakValue;
  int uniform;
  int tabStart, tabEnd, tabCount, tabValues;
};

constexpr SpectrumIds kAbsorption = {
    MAT_ABSORPTION_SPECTRUM,   MAT_ABSORPTION_COLOR,       MAT_ABSORPTION_GAMMA,
    MAT_ABSORPTION_SCALE,      MAT_ABSORPTION_TEMPERATURE, MAT_ABSORPTION_GAIN,
    MAT_ABSORPTION_PEAK_MIN,   MAT_ABSORPTION_PEAK_WIDTH,  MAT_ABSORPTION_BASE_VALUE,
    MAT_ABSORPTION_PEAK_VALUE, MAT_ABSORPTION_UNIFORM,     MAT_ABSORPTION_TAB_START,
    MAT_ABSORPTION_TAB_END,    MAT_ABSORPTION_TAB_COUNT,   MAT_ABSORPTION_TAB_VALUES};

constexpr SpectrumIds kScattering = {
    MAT_SCATTERING_SPECTRUM,   MAT_SCATTERING_COLOR,       MAT_SCATTERING_GAMMA,
    MAT_SCATTERING_SCALE,      MAT_SCATTERING_TEMPERATURE, MAT_SCATTERING_GAIN,
    MAT_SCATTERING_PEAK_MIN,   MAT_SCATTERING_PEAK_WIDTH,  MAT_SCATTERING_BASE_VALUE,
    MAT_SCATTERING_PEAK_VALUE, MAT_SCATTERING_UNIFORM,     MAT_SCATTERING_TAB_START,
    MAT_SCATTERING_TAB_END,    MAT_SCATTERING_TAB_COUNT,   MAT_SCATTERING_TAB_VALUES};

// Appends `name` to `parent` and answers it.
TiXmlElement* AppendElement(const char* name, TiXmlElement* parent) {
  return parent->LinkEndChild(new TiXmlElement(name))->ToElement();
}

// Appends to `parent` the one spectrum of the kind the container selects (nothing for an unknown
// kind; `off` raises every ID and kind). An absorption colour means what passes through, so it is written as
// one minus itself.
void ExportMediumSpectrum(const BaseContainer* data, const SpectrumIds& ids, int off, bool invertColour,
                          TiXmlElement* parent) {
  switch (data->GetLong(off + ids.kind) - off) {
    case MAT_SPECTRUM_RGB: {
      LVector colour = data->GetVector(off + ids.colour);
      if (invertColour) colour = LVector(1.0 - colour.x, 1.0 - colour.y, 1.0 - colour.z);
      SceneExportSpectrumRGB(colour, data->GetReal(off + ids.gamma), data->GetReal(off + ids.scale), parent);
      break;
    }
    case MAT_SPECTRUM_BLACKBODY:
      SceneExportSpectrumBlackbody(data->GetReal(off + ids.temperature), data->GetReal(off + ids.gain),
                                   parent);
      break;
    case MAT_SPECTRUM_PEAK:
      SceneExportSpectrumPeak(data->GetReal(off + ids.peakMin), data->GetReal(off + ids.peakWidth),
                              data->GetReal(off + ids.baseValue), data->GetReal(off + ids.peakValue), parent);
      break;
    case MAT_SPECTRUM_UNIFORM: SceneExportSpectrumUniform(data->GetReal(off + ids.uniform), parent); break;
    case MAT_SPECTRUM_TABULATED:
      SceneExportSpectrumTabulated(Helpers::ToUTF8String(data->GetString(off + ids.tabStart)),
                                   Helpers::ToUTF8String(data->GetString(off + ids.tabEnd)),
                                   data->GetLong(off + ids.tabCount),
                                   Helpers::ToUTF8String(data->GetString(off + ids.tabValues)), parent);
      break;
    default: break;
  }
}

// "subsurface_scattering": the scattering spectrum, then the phase function.
void ExportSubsurfaceScattering(const BaseContainer* data, int off, TiXmlElement* basic) {
  TiXmlElement* sss = AppendElement("subsurface_scattering", basic);
  ExportMediumSpectrum(data, kScattering, off, false, AppendElement("scattering_coefficient_spectrum", sss));
  TiXmlElement* phase = AppendElement("phase_function", sss);
  switch (data->GetLong(off + MAT_PHASE_FUNCTION) - off) {
    case MAT_PHASE_UNIFORM: AppendElement("uniform", phase); break;
    case MAT_PHASE_HENYEY_GREENSTEIN: {
      TiXmlElement* g = AppendElement("g_spectrum", AppendElement("henyey_greenstein", phase));
      SceneExportSpectrumRGB(data->GetVector(off + MAT_PHASE_G), data->GetReal(off + MAT_PHASE_G_GAMMA), 1.0,
                             g);
      break;
    }
    default: break;
  }
}

}  // namespace

Bool CustomOrvaneMaterial::MaterialExportMedium(String name, BaseList2D* mat, TiXmlElement* parent) {
  if (!sceneData || !mat || !parent) return false;
  const BaseContainer* data = mat->GetDataInstance();

  TiXmlElement* medium = new TiXmlElement("medium");
  SceneExportStringValue("name", String("Med") + name, medium);
  SceneExportLongValue("precedence", data->GetLong(Id(MAT_MEDIUM_PRECEDENCE), 1), medium);

  switch (data->GetLong(Id(MAT_MEDIUM_TYPE)) - idOffset) {
    case MAT_MEDIUM_BASIC: {
      TiXmlElement* basic = AppendElement("basic", medium);
      SceneExportRealValue("ior", data->GetReal(Id(MAT_MEDIUM_IOR)), basic);
      SceneExportRealValue("cauchy_b_coeff", data->GetReal(Id(MAT_MEDIUM_CAUCHY_B)), basic);
      ExportMediumSpectrum(data, kAbsorption, idOffset, true,
                           AppendElement("absorption_coefficient_spectrum", basic));
      if (data->GetBool(Id(MAT_USE_SUBSURFACE))) ExportSubsurfaceScattering(data, idOffset, basic);
      break;
    }
    case MAT_MEDIUM_DERMIS: {
      TiXmlElement* dermis = AppendElement("dermis", medium);
      SceneExportRealValue("hemoglobin_fraction", data->GetReal(Id(MAT_HEMOGLOBIN_FRACTION)), dermis);
      break;
    }
    case MAT_MEDIUM_EPIDERMIS: {
      TiXmlElement* epidermis = AppendElement("epidermis", medium);
      SceneExportRealValue("melanin_fraction", data->GetReal(Id(MAT_MELANIN_FRACTION)), epidermis);
      SceneExportRealValue("melanin_type_blend", data->GetReal(Id(MAT_MELANIN_TYPE_BLEND)), epidermis);
      break;
    }
    case MAT_MEDIUM_ATMOSPHERE: {
      if (IsNodeView()) break;  // a node shader has no atmosphere medium
      TiXmlElement* atmosphere = AppendElement("atmosphere", medium);
      SceneExportRealValue("turbidity", data->GetReal(Id(MAT_TURBIDITY), 2.0), atmosphere);
      // The renderer's up axis is z: the host's y and z change places.
      SceneExportVectorValue("center", data->GetVector(Id(MAT_ATMOSPHERE_CENTER)) * sceneData->globalScale,
                             atmosphere, 1);
      break;
    }
    default: break;
  }

  parent->LinkEndChild(medium);
  return true;
}
