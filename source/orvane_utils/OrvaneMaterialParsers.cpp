// The material entry points of OrvaneSceneParseUtils: each turns one type
// element of a "material" into a new element-model material.
//
// Common frame: the whitelist check, a default-constructed material, the
// "texture" children, then the fields in the entry point's fixed order. The
// surface materials share the steps in the helpers below.

#include "orvane_utils/OrvaneSceneParseUtils.h"

#include "orvane_utils/OrvaneBlendMaterial.h"
#include "orvane_utils/OrvaneConstantDisplacementParam.h"
#include "orvane_utils/OrvaneConstantWavelengthDependentParam.h"
#include "orvane_utils/OrvaneConstantWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneDiffuse.h"
#include "orvane_utils/OrvaneDiffuseTransmitter.h"
#include "orvane_utils/OrvaneGlossyTransparent.h"
#include "orvane_utils/OrvaneOrenNayarMaterial.h"
#include "orvane_utils/OrvanePhongMaterial.h"
#include "orvane_utils/OrvaneRGBSpectrum.h"
#include "orvane_utils/OrvaneSpecularMaterial.h"
#include "orvane_utils/OrvaneTextureDisplacementParam.h"
#include "orvane_utils/OrvaneTextureWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneUniformSpectrum.h"

namespace Orvane {

namespace {

typedef OrvaneSceneParseUtils PU;
typedef Reference<OrvaneWavelengthDependentParam> SpectralRef;
typedef Reference<OrvaneDisplacementParam> DisplaceRef;
typedef Reference<OrvaneWavelengthIndependentParam> ScalarRef;

// The displacement parameter in the child name, or empty without one.
DisplaceRef optionalDisplace(const TiXmlElement& typeElement, const char* name,
                             const PU::TextureList& textures) {
  const TiXmlElement* child = typeElement.FirstChildElement(name);
  return child ? PU::parseDisplaceMatParameterDirectly(*child, textures) : DisplaceRef();
}

// The spectral parameter in the child name, or empty without one.
SpectralRef optionalSpectral(const TiXmlElement& typeElement, const char* name,
                             const PU::TextureList& textures) {
  const TiXmlElement* child = typeElement.FirstChildElement(name);
  return child ? PU::parseSpectrumMatParameterDirectly(*child, textures) : SpectralRef();
}

// The fields every surface material shares after its own: "base_emission",
// "emission" and "layer" (0 when absent; stored as read).
template <class Material>
void readEmissionAndLayer(const TiXmlElement& typeElement, Material& material) {
  material.base_emission = optionalSpectral(typeElement, "base_emission", material.textures);
  material.emission = optionalSpectral(typeElement, "emission", material.textures);
  material.layer =
      typeElement.FirstChildElement("layer") ? static_cast<uint32_t>(PU::parseInt(typeElement, "layer")) : 0u;
}

// "bump" and "displacement" in the current form, then the old single-texture
// elements, which win over them; albedo takes part in the old forms.
template <class Material>
void readBumpAndDisplacement(const TiXmlElement& typeElement, Material& material, SpectralRef& albedo) {
  DisplaceRef bump = optionalDisplace(typeElement, "bump", material.textures);
  DisplaceRef displacement = optionalDisplace(typeElement, "displacement", material.textures);
  PU::backwardsCompatibleTextureParse(typeElement, material.textures, albedo, bump, displacement);
  material.bump = bump;
  material.displacement = displacement;
}

// A scalar parameter that also has an older form, a bare number: the current
// form when the element holds "constant", "texture" or "shader".
ScalarRef scalarOrNumber(const TiXmlElement& typeElement, const char* name, const PU::TextureList& textures) {
  const TiXmlElement& element = PU::getChildElement(typeElement, name);
  if (element.FirstChildElement("constant") || element.FirstChildElement("texture") ||
      element.FirstChildElement("shader"))
    return PU::parseScalarMatParameterDirectly(element, textures);
  return ScalarRef(new OrvaneConstantWavelengthIndependentParam(PU::parseDouble(typeElement, name)));
}

bool hasCurrentFormExponent(const TiXmlElement& phongElem) {
  const TiXmlElement* exponent = phongElem.FirstChildElement("exponent");
  return exponent && (exponent->FirstChildElement("constant") || exponent->FirstChildElement("texture") ||
                      exponent->FirstChildElement("shader"));
}

// "fresnel_scale" (1.0), "ior" (1.5) and "nk_data" ("") of both phong forms.
void readPhongExtras(const TiXmlElement& phongElem, OrvanePhongMaterial& material) {
  material.fresnel_scale =
      phongElem.FirstChildElement("fresnel_scale") ? PU::parseDouble(phongElem, "fresnel_scale") : 1.0;
  material.ior = phongElem.FirstChildElement("ior") ? PU::parseDouble(phongElem, "ior") : 1.5;
  material.nk_data =
      phongElem.FirstChildElement("nk_data") ? PU::parseString(phongElem, "nk_data") : std::string();
}

SpectralRef constantOf(const Reference<OrvaneSpectrum>& spectrum) {
  return SpectralRef(new OrvaneConstantWavelengthDependentParam(spectrum));
}

}  // namespace

void OrvaneSceneParseUtils::parseMaterialTextures(const TiXmlElement& typeElement, TextureList& textures) {
  for (const TiXmlElement* texture = typeElement.FirstChildElement("texture"); texture;
       texture = texture->NextSiblingElement("texture"))
    textures.push_back(parseTexture(*texture));
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parseSpecular(const TiXmlElement& specularElem) {
  static const char* const kAllowed[] = {"internal_medium_name",
                                         "transparent",
                                         "bump_map",
                                         "displacement_map",
                                         "bump",
                                         "displacement",
                                         "base_emission",
                                         "emission",
                                         "layer",
                                         "texture",
                                         "absorption_layer_transmittance",
                                         "arch_glass",
                                         "tabulated_external_reflection_coefficient",
                                         "tabulated_internal_reflection_coefficient",
                                         "tabulated_transmission_coefficient",
                                         nullptr};
  checkOnlyElements(specularElem, kAllowed);
  Reference<OrvaneSpecularMaterial> material(new OrvaneSpecularMaterial());
  OrvaneSpecularMaterial& m = *material.getPointer();
  parseMaterialTextures(specularElem, m.textures);

  SpectralRef scratchAlbedo;  // "albedo_texture" is not accepted here
  readBumpAndDisplacement(specularElem, m, scratchAlbedo);
  m.internal_medium_name = parseString(specularElem, "internal_medium_name");
  m.transparent = parseBool(specularElem, "transparent");
  m.absorption_layer_transmittance =
      optionalSpectral(specularElem, "absorption_layer_transmittance", m.textures);
  readEmissionAndLayer(specularElem, m);
  m.arch_glass = specularElem.FirstChildElement("arch_glass") ? parseBool(specularElem, "arch_glass") : false;
  if (const TiXmlElement* table = specularElem.FirstChildElement("tabulated_external_reflection_coefficient"))
    m.tabulated_external_reflection_coefficient = parseTabulatedSpectralData(*table);
  if (const TiXmlElement* table = specularElem.FirstChildElement("tabulated_internal_reflection_coefficient"))
    m.tabulated_internal_reflection_coefficient = parseTabulatedSpectralData(*table);
  if (const TiXmlElement* table = specularElem.FirstChildElement("tabulated_transmission_coefficient"))
    m.tabulated_transmission_coefficient = parseTabulatedSpectralData(*table);
  return material;
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parseGlossyTransparent(const TiXmlElement& glossyElem) {
  static const char* const kAllowed[] = {"internal_medium_name",
                                         "exponent",
                                         "bump_map",
                                         "displacement_map",
                                         "bump",
                                         "displacement",
                                         "base_emission",
                                         "emission",
                                         "layer",
                                         "texture",
                                         "absorption_layer_transmittance",
                                         nullptr};
  checkOnlyElements(glossyElem, kAllowed);
  Reference<OrvaneGlossyTransparent> material(new OrvaneGlossyTransparent());
  OrvaneGlossyTransparent& m = *material.getPointer();
  parseMaterialTextures(glossyElem, m.textures);

  SpectralRef scratchAlbedo;  // "albedo_texture" is not accepted here
  readBumpAndDisplacement(glossyElem, m, scratchAlbedo);
  m.exponent = scalarOrNumber(glossyElem, "exponent", m.textures);
  m.internal_medium_name = parseString(glossyElem, "internal_medium_name");
  m.absorption_layer_transmittance =
      optionalSpectral(glossyElem, "absorption_layer_transmittance", m.textures);
  readEmissionAndLayer(glossyElem, m);
  return material;
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parseDiffuse(const TiXmlElement& diffuseElem) {
  static const char* const kAllowed[] = {"colour",
                                         "albedo_spectrum",
                                         "albedo_texture",
                                         "bump_map",
                                         "displacement_map",
                                         "random_triangle_colours",
                                         "albedo",
                                         "emission",
                                         "base_emission",
                                         "texture",
                                         "bump",
                                         "displacement",
                                         "layer",
                                         nullptr};
  checkOnlyElements(diffuseElem, kAllowed);
  Reference<OrvaneDiffuse> material(new OrvaneDiffuse());
  OrvaneDiffuse& m = *material.getPointer();
  parseMaterialTextures(diffuseElem, m.textures);

  SpectralRef albedo = backwardsCompatibleAlbedoParse(diffuseElem, m.textures);
  readBumpAndDisplacement(diffuseElem, m, albedo);
  m.albedo = albedo;
  m.random_triangle_colours = diffuseElem.FirstChildElement("random_triangle_colours")
                                  ? parseBool(diffuseElem, "random_triangle_colours")
                                  : false;
  readEmissionAndLayer(diffuseElem, m);
  return material;
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parseDiffuseTransmitter(
    const TiXmlElement& transmitterElem) {
  static const char* const kAllowed[] = {"colour",   "albedo_texture", "albedo_spectrum", "displacement_map",
                                         "albedo",   "bump",           "displacement",    "base_emission",
                                         "emission", "layer",          "texture",         nullptr};
  checkOnlyElements(transmitterElem, kAllowed);
  Reference<OrvaneDiffuseTransmitter> material(new OrvaneDiffuseTransmitter());
  OrvaneDiffuseTransmitter& m = *material.getPointer();
  parseMaterialTextures(transmitterElem, m.textures);

  SpectralRef albedo = backwardsCompatibleAlbedoParse(transmitterElem, m.textures);
  readBumpAndDisplacement(transmitterElem, m, albedo);
  m.albedo = albedo;
  readEmissionAndLayer(transmitterElem, m);
  return material;
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parseOrenNayar(const TiXmlElement& orenNayarElem) {
  static const char* const kAllowed[] = {"sigma",
                                         "albedo",
                                         "bump",
                                         "displacement",
                                         "base_emission",
                                         "emission",
                                         "layer",
                                         "texture",
                                         "colour",
                                         "albedo_spectrum",
                                         "albedo_texture",
                                         "bump_map",
                                         "displacement_map",
                                         nullptr};
  checkOnlyElements(orenNayarElem, kAllowed);
  Reference<OrvaneOrenNayarMaterial> material(new OrvaneOrenNayarMaterial());
  OrvaneOrenNayarMaterial& m = *material.getPointer();
  parseMaterialTextures(orenNayarElem, m.textures);

  SpectralRef albedo = backwardsCompatibleAlbedoParse(orenNayarElem, m.textures);
  readBumpAndDisplacement(orenNayarElem, m, albedo);
  m.albedo = albedo;
  m.sigma = scalarOrNumber(orenNayarElem, "sigma", m.textures);
  readEmissionAndLayer(orenNayarElem, m);
  return material;
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parsePhong(const TiXmlElement& phongElem) {
  if (!hasCurrentFormExponent(phongElem)) return parsePhongOld(phongElem);

  static const char* const kAllowed[] = {
      "exponent", "nk_data",      "ior",           "fresnel_scale", "diffuse_albedo", "specular_reflectivity",
      "bump",     "displacement", "base_emission", "emission",      "layer",          "texture",
      nullptr};
  checkOnlyElements(phongElem, kAllowed);
  Reference<OrvanePhongMaterial> material(new OrvanePhongMaterial());
  OrvanePhongMaterial& m = *material.getPointer();
  parseMaterialTextures(phongElem, m.textures);

  m.diffuse_albedo = optionalSpectral(phongElem, "diffuse_albedo", m.textures);
  m.specular_reflectivity = optionalSpectral(phongElem, "specular_reflectivity", m.textures);
  m.exponent = parseScalarMatParameterDirectly(getChildElement(phongElem, "exponent"), m.textures);
  m.bump = optionalDisplace(phongElem, "bump", m.textures);
  m.displacement = optionalDisplace(phongElem, "displacement", m.textures);
  readEmissionAndLayer(phongElem, m);
  readPhongExtras(phongElem, m);
  return material;
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parsePhongOld(const TiXmlElement& phongElem) {
  static const char* const kAllowed[] = {"exponent",
                                         "nk_data",
                                         "diffuse",
                                         "ior",
                                         "fresnel_scale",
                                         "albedo_texture",
                                         "bump_map",
                                         "exponent_map",
                                         "diffuse_albedo_spectrum",
                                         "specular_reflectivity_spectrum",
                                         "displacement_map",
                                         "bump",
                                         "displacement",
                                         "base_emission",
                                         "emission",
                                         "layer",
                                         "texture",
                                         nullptr};
  checkOnlyElements(phongElem, kAllowed);

  const std::string nk_data =
      phongElem.FirstChildElement("nk_data") ? parseString(phongElem, "nk_data") : std::string();
  Reference<OrvaneSpectrum> diffuse;
  Reference<OrvaneSpectrum> specular;
  if (!nk_data.empty())
    diffuse = Reference<OrvaneSpectrum>(new OrvaneUniformSpectrum(0.0));
  else if (const TiXmlElement* spectrumElem = phongElem.FirstChildElement("specular_reflectivity_spectrum")) {
    specular = parseSpectrum(*spectrumElem);
    diffuse = Reference<OrvaneSpectrum>(new OrvaneUniformSpectrum(0.0));
  } else if (phongElem.FirstChildElement("diffuse"))
    diffuse = Reference<OrvaneSpectrum>(new OrvaneRGBSpectrum(parseVec3(phongElem, "diffuse"), 2.2));
  else
    diffuse = parseSpectrum(getChildElement(phongElem, "diffuse_albedo_spectrum"));

  Reference<OrvanePhongMaterial> material(new OrvanePhongMaterial());
  OrvanePhongMaterial& m = *material.getPointer();
  parseMaterialTextures(phongElem, m.textures);

  SpectralRef albedo = constantOf(diffuse);
  readBumpAndDisplacement(phongElem, m, albedo);
  ScalarRef exponent(new OrvaneConstantWavelengthIndependentParam(parseDouble(phongElem, "exponent")));
  const uint32_t exponentMap = addPossibleTextureToList(phongElem, "exponent_map", m.textures);
  if (exponentMap != 0xFFFFFFFFu)
    exponent = ScalarRef(new OrvaneTextureWavelengthIndependentParam(exponentMap));
  m.exponent = exponent;
  m.specular_reflectivity = specular.getPointer() ? constantOf(specular) : SpectralRef();
  m.diffuse_albedo = albedo;
  readEmissionAndLayer(phongElem, m);
  readPhongExtras(phongElem, m);
  return material;
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parseBlendMaterial(const TiXmlElement& blendElem) {
  if (blendElem.FirstChildElement("blend_factor")) return parseBlendMaterialOld(blendElem);

  static const char* const kAllowed[] = {"blend", "a_name", "b_name", "step_blend", "texture", nullptr};
  checkOnlyElements(blendElem, kAllowed);
  Reference<OrvaneBlendMaterial> material(new OrvaneBlendMaterial());
  OrvaneBlendMaterial& m = *material.getPointer();
  parseMaterialTextures(blendElem, m.textures);

  m.a_name = parseString(blendElem, "a_name");
  m.b_name = parseString(blendElem, "b_name");
  m.blend = parseDisplaceMatParameterDirectly(getChildElement(blendElem, "blend"), m.textures);
  m.step_blend = blendElem.FirstChildElement("step_blend") ? parseBool(blendElem, "step_blend") : false;
  return material;
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parseBlendMaterialOld(const TiXmlElement& blendElem) {
  static const char* const kAllowed[] = {"blend_factor",     "a_name",     "b_name", "blend_map",
                                         "displacement_map", "step_blend", nullptr};
  checkOnlyElements(blendElem, kAllowed);
  Reference<OrvaneBlendMaterial> material(new OrvaneBlendMaterial());
  OrvaneBlendMaterial& m = *material.getPointer();

  DisplaceRef blend;
  const uint32_t blendMap = addPossibleTextureToList(blendElem, "blend_map", m.textures);
  if (blendMap != 0xFFFFFFFFu)
    blend = DisplaceRef(new OrvaneTextureDisplacementParam(blendMap));
  else
    blend = DisplaceRef(new OrvaneConstantDisplacementParam(parseDouble(blendElem, "blend_factor")));
  m.a_name = parseString(blendElem, "a_name");
  m.b_name = parseString(blendElem, "b_name");
  m.blend = blend;
  m.step_blend = blendElem.FirstChildElement("step_blend") ? parseBool(blendElem, "step_blend") : false;
  return material;
}

}  // namespace Orvane
