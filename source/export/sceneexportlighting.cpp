// The scene's default materials, the material of exported lights, the sky or background, and the
// emission scaling and IES profiles of emitting materials and lights.
#include <tinyxml.h>

#include "export/orvanesceneexporter.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "material/exportbasematerial.h"
#include "material/materialparams.h"
#include "object/rendersettingsids.h"
#include "tag/mylighttagids.h"

namespace {

// Light-layer keys the sky reserves before any light or material: the sun, and the sky (or sun and
// sky together).
constexpr int kSunLayerKey = -2;
constexpr int kSkyLayerKey = -1;

TiXmlElement* Append(const char* name, TiXmlElement* parent) {
  TiXmlElement* e = new TiXmlElement(name);
  parent->LinkEndChild(e);
  return e;
}

// A light layer the user can pick: 0 to 9; anything else (a document written elsewhere) is layer 0.
int ValidLayer(LONG layer) { return layer >= 0 && layer <= 9 ? layer : 0; }

const char* LightTagMeasure(LONG measure) {
  switch (measure) {
    case LIGHTTAG_MEASURE_LUMINOUS_FLUX: return "luminous_flux";
    case LIGHTTAG_MEASURE_LUMINOUS_INTENSITY: return "luminous_intensity";
    case LIGHTTAG_MEASURE_LUMINANCE: return "luminance";
    case LIGHTTAG_MEASURE_LUMINOUS_EMITTANCE: return "luminous_emittance";
    default: return "";
  }
}

const char* MaterialMeasure(LONG measure) {
  switch (measure) {
    case MAT_MEASURE_LUMINOUS_FLUX: return "luminous_flux";
    case MAT_MEASURE_LUMINOUS_INTENSITY: return "luminous_intensity";
    case MAT_MEASURE_LUMINANCE: return "luminance";
    case MAT_MEASURE_LUMINOUS_EMITTANCE: return "luminous_emittance";
    default: return "";
  }
}

}  // namespace

void OrvaneSceneExporter::SceneExportDefaultMats() {
  TiXmlElement* material = new TiXmlElement("material");
  SceneExportStringValue("name", "defaultMat", material);
  if (sceneData->clayMode) {
    TiXmlElement* orenNayar = Append("oren_nayar", material);
    TiXmlElement* constant = Append("constant", Append("albedo", orenNayar));
    SceneExportSpectrumRGB(sceneData->clayAlbedo, 2.2, 1.0, constant);
    SceneExportRealValue("constant", 0.3, Append("sigma", orenNayar));
  } else {
    TiXmlElement* constant = Append("constant", Append("albedo", Append("diffuse", material)));
    SceneExportSpectrumRGB(LVector(0.8, 0.8, 0.8), 2.2, 1.0, constant);
  }
  sceneElement->LinkEndChild(material);

  TiXmlElement* nullMat = new TiXmlElement("material");
  SceneExportStringValue("name", "nullMat", nullMat);
  Append("null_material", nullMat);
  sceneElement->LinkEndChild(nullMat);
}

int OrvaneSceneExporter::SceneExportDefaultLightMaterial(BaseObject* light) {
  if (!light) return 0;
  BaseTag* tag = light->GetTag(ID_MYLIGHTTAG);
  const BaseContainer* data = tag ? tag->GetDataInstance() : nullptr;

  TiXmlElement* material = new TiXmlElement("material");
  SceneExportStringValue("name", "defaultLight", material);
  TiXmlElement* diffuse = Append("diffuse", material);
  SceneExportSpectrumRGB(LVector(0.0, 0.0, 0.0), 2.2, 1.0, Append("constant", Append("albedo", diffuse)));
  TiXmlElement* emission = Append("constant", Append("base_emission", diffuse));

  unsigned layer;
  if (data) {
    layer = sceneData->AddLightLayer(ValidLayer(data->GetLong(LIGHTTAG_LAYER, 0)));
    switch (data->GetLong(LIGHTTAG_EMISSION_TYPE, 0)) {
      case LIGHTTAG_EMISSION_PEAK:
        SceneExportSpectrumPeak(data->GetReal(LIGHTTAG_PEAK, 0.0), data->GetReal(LIGHTTAG_PEAK_WIDTH, 0.0),
                                data->GetReal(LIGHTTAG_PEAK_BASE, 0.0),
                                data->GetReal(LIGHTTAG_PEAK_VALUE, 0.0), emission);
        break;
      case LIGHTTAG_EMISSION_BLACKBODY:
        SceneExportSpectrumBlackbody(data->GetReal(LIGHTTAG_BLACKBODY_TEMPERATURE, 0.0),
                                     data->GetReal(LIGHTTAG_BLACKBODY_GAIN, 0.0), emission);
        break;
      case LIGHTTAG_EMISSION_UNIFORM:
        SceneExportSpectrumUniform(data->GetReal(LIGHTTAG_UNIFORM_VALUE, 0.0), emission);
        break;
      default:
        SceneExportSpectrumRGB(data->GetVector(LIGHTTAG_RGB_COLOR), data->GetReal(LIGHTTAG_RGB_GAMMA, 0.0),
                               1.0, emission);
        break;
    }
  } else {
    layer = sceneData->AddLightLayer(0);
    GeData colour, brightness;
    light->GetParameter(DescID(DescLevel(LIGHT_COLOR)), colour);
    light->GetParameter(DescID(DescLevel(LIGHT_BRIGHTNESS)), brightness);
    SceneExportSpectrumRGB(colour.GetVector() * brightness.GetReal(), 2.2, 1.0, emission);
  }
  SceneExportLongValue("layer", static_cast<int>(layer), diffuse);
  sceneElement->LinkEndChild(material);
  return 1;
}

int OrvaneSceneExporter::SceneExportLighting() {
  if (!renderSettings) {
    SceneExportSpectrumUniform(1.0, Append("spectrum", Append("background", sceneElement)));
    return 1;
  }
  BaseDocument* doc = sceneData->document;
  switch (renderSettings->GetLong(RS_LIGHTING_MODE, 0)) {
    case RS_LIGHTING_MODE_SUNSKY: {
      TiXmlElement* skylight = new TiXmlElement("skylight");
      auto* sun = static_cast<BaseObject*>(renderSettings->GetLink(RS_SUN_OBJECT, doc, Obase));
      // The sun shines along the sun object's Z axis; the direction is written as it is, not
      // normalised (subtracted from zero so that no component reads -0).
      const LVector direction = sun ? LVector() - sun->GetMg().v3 : LVector(1.0, 1.0, 1.0);
      SceneExportVectorValue("sundir", direction, skylight, 1);
      SceneExportRealValue("turbidity", renderSettings->GetReal(RS_TURBIDITY, 0.0), skylight);
      SceneExportBoolValue("extra_atmospheric", renderSettings->GetBool(RS_EXTRA_ATMOSPHERIC), skylight);
      if (renderSettings->GetBool(RS_SUNSKY_LAYERS)) {
        SceneExportLongValue("sun_layer", 0, skylight);
        SceneExportLongValue("sky_layer", 1, skylight);
        SceneExportLayerName("Sun", 0);
        SceneExportLayerName("Sky", 1);
        sceneData->lightLayers.insert({kSunLayerKey, 0});
        sceneData->lightLayers.insert({kSkyLayerKey, 1});
      } else {
        SceneExportLongValue("sun_layer", 0, skylight);
        SceneExportLongValue("sky_layer", 0, skylight);
        SceneExportLayerName("Sun/Sky", 0);
        sceneData->lightLayers.insert({kSkyLayerKey, 0});
      }
      sceneElement->LinkEndChild(skylight);
      return 1;
    }
    case RS_LIGHTING_MODE_BACKGROUND: {
      BaseList2D* linked = renderSettings->GetLink(RS_BACKGROUND_MATERIAL, doc, Mbase);
      if (!linked || linked->GetType() != ID_CUSTOMORVANEMATERIAL) return 0;
      auto* material = static_cast<BaseMaterial*>(linked);
      BaseContainer* data = material->GetDataInstance();
      if (!data || !data->GetBool(MAT_USE_EMISSION)) return 0;
      TiXmlElement* settings = new TiXmlElement("background_settings");
      TiXmlElement* holder = Append("background_material", settings);
      ExportBaseMaterial(material, holder, nullptr, sceneData, 0, 1);
      SceneExportEmissionScaleElement(settings, data, "background_material");
      sceneElement->LinkEndChild(settings);
      return 1;
    }
    default: return 1;
  }
}

void OrvaneSceneExporter::SceneExportEmissionScaleElement(TiXmlElement* parent, BaseContainer* data,
                                                          String name) {
  if (!parent || !data || !data->GetBool(MAT_EMISSION_SCALE, false)) return;
  TiXmlElement* scale = Append("emission_scale", parent);
  SceneExportStringValue("material_name", name, scale);
  SceneExportStringValue("measure", MaterialMeasure(data->GetLong(MAT_EMISSION_SCALE_MEASURE)), scale);
  SceneExportRealValue("value", data->GetReal(MAT_EMISSION_SCALE_VALUE, 0.0), scale);
}

void OrvaneSceneExporter::SceneExportEmissionScaleElementLT(TiXmlElement* parent, BaseContainer* data) {
  if (!parent || !data || !data->GetBool(LIGHTTAG_EMISSION_SCALE)) return;
  TiXmlElement* scale = Append("emission_scale", parent);
  SceneExportStringValue("material_name", "defaultLight", scale);
  SceneExportStringValue("measure", LightTagMeasure(data->GetLong(LIGHTTAG_SCALE_MEASURE)), scale);
  SceneExportRealValue("value", data->GetReal(LIGHTTAG_SCALE_VALUE, 100.0), scale);
}

void OrvaneSceneExporter::SceneExportIESProfile(TiXmlElement* parent, std::string name, std::string path) {
  if (!parent) return;
  TiXmlElement* profile = Append("ies_profile", parent);
  SceneExportStringValue("material_name", name, profile);
  SceneExportStringValue("path", path, profile);
}

void OrvaneSceneExporter::SceneExportLigthScaling(TiXmlElement* parent,
                                                  std::vector<BaseMaterial*>& materials) {
  const std::string sceneDir = Helpers::ToUTF8String(sceneData->sceneDir.GetString());
  for (BaseMaterial* material : materials) {
    // Only the plug-in material has emission settings; other materials may use these IDs for
    // anything.
    if (!material || material->GetType() != ID_CUSTOMORVANEMATERIAL) continue;
    BaseContainer* data = material->GetDataInstance();
    String name = sceneData->MaterialName(material);
    SceneExportEmissionScaleElement(parent, data, name);
    if (data->GetLong(MAT_USE_IES_PROFILE) != 1) continue;
    Filename profile = data->GetFilename(MAT_IES_PROFILE_FILE);
    if (!profile.Content()) continue;
    SceneExportIESProfile(parent, Helpers::ToUTF8String(name),
                          Helpers::GetRelativeFilename(sceneDir, Helpers::ToUTF8String(profile.GetString())));
  }
}

void OrvaneSceneExporter::SceneExportLigthScalingLT(TiXmlElement* parent, BaseTag* tag) {
  if (!tag) return;
  BaseContainer* data = tag->GetDataInstance();
  SceneExportEmissionScaleElementLT(parent, data);
  if (data->GetLong(LIGHTTAG_IES) != 1) return;
  Filename profile = data->GetFilename(LIGHTTAG_IES_FILE);
  if (!profile.Content()) return;
  SceneExportIESProfile(parent, "defaultLight",
                        Helpers::GetRelativeFilename(Helpers::ToUTF8String(sceneData->sceneDir.GetString()),
                                                     Helpers::ToUTF8String(profile.GetString())));
}
