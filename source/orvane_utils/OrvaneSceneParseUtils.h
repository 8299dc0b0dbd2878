// OrvaneSceneParseUtils: the readers of the renderer's material XML. They turn
// a TinyXML element tree into the element model, validating as they go.
//
// Every function is static and keeps no state. A reader reports only the first
// problem it meets, in its fixed reading order, by throwing
// OrvaneSceneParseUtilsExcep; the message ends with the location suffix of the
// element handed to the failing operation (see elemContext). Child elements are
// looked up by name with FirstChildElement, so only the first child of a name is
// read. Text and comment children never count as children.
//
// Lists of allowed child names are null-terminated arrays of C strings.
//
// The material entry points (parseSpecular, parseGlossyTransparent,
// parseDiffuse, parseDiffuseTransmitter, parseOrenNayar, parsePhong,
// parseBlendMaterial) each take a material's type element and return a new
// material; an optional parameter whose element is missing stays an empty
// Reference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tinyxml.h>

#include "orvane_utils/Matrix2.h"
#include "orvane_utils/OrvaneDisplacementParam.h"
#include "orvane_utils/OrvaneMaterial.h"
#include "orvane_utils/OrvaneMedium.h"
#include "orvane_utils/OrvanePhaseFunction.h"
#include "orvane_utils/OrvaneRotation.h"
#include "orvane_utils/OrvaneSceneParseUtilsExcep.h"
#include "orvane_utils/OrvaneSpectrum.h"
#include "orvane_utils/OrvaneSubsurfaceScattering.h"
#include "orvane_utils/OrvaneTabulatedSpectralData.h"
#include "orvane_utils/OrvaneTexCoordGenerator.h"
#include "orvane_utils/OrvaneTexture.h"
#include "orvane_utils/OrvaneWavelengthDependentParam.h"
#include "orvane_utils/OrvaneWavelengthIndependentParam.h"
#include "orvane_utils/Vec2.h"
#include "orvane_utils/Vec3.h"
#include "utils/reference.h"

namespace Orvane {

class OrvaneSceneParseUtils {
 public:
  // A material's texture list, which texture-form parameters index.
  typedef std::vector<OrvaneTexture> TextureList;

  // The largest count a tabulated form may give (num_values, num_rows,
  // num_columns each).
  static constexpr int32_t MAX_TABULATED_COUNT = 1000000;
  // The largest number of values a tabulated table may hold in all
  // (num_rows x num_columns).
  static constexpr int64_t MAX_TABULATED_TABLE_VALUES = 10000000;

  // ---------------------------------------------------------------------
  // Element context, child checks and errors

  // "  (In element '<name>', around line <row>, column <col>)" for node,
  // with TinyXML's one-based row and column.
  static std::string elemContext(const TiXmlNode& node);

  // Fails with "Found unexpected element '<name>'." on the first child
  // element (in document order) whose name is not in allowed.
  static void checkOnlyElements(const TiXmlNode& node, const char* const* allowed);

  // Requires exactly one child element, named as one of names; fails on no
  // child, on a foreign child and on a second allowed child.
  static void checkExactlyOneChild(const TiXmlNode& node, const char* const* names);

  // The first child element called name; fails with "Failed to find expected
  // element '<name>'." when there is none.
  static const TiXmlElement& getChildElement(const TiXmlElement& element, const std::string& name);
  // As above, for a C string name.
  static const TiXmlElement& getChildElement(const TiXmlElement& element, const char* name);

  // ---------------------------------------------------------------------
  // Text, boolean, number and vector values of a named child. All but the
  // *WithDefault variants fail with "could not find element '<name>'." when
  // the child is missing; the *WithDefault variants return the default then.

  // The child's text: its text nodes joined in document order.
  static std::string parseString(const TiXmlElement& element, const std::string& name);
  // As above, for a C string name.
  static std::string parseString(const TiXmlElement& element, const char* name);
  // The child's text, or def when there is no such child.
  static std::string parseStringWithDefault(const TiXmlElement& element, const std::string& name,
                                            const std::string& def);

  // true for the text "true", false for "false"; any other text fails.
  static bool parseBool(const TiXmlElement& element, const std::string& name);
  // As above, for a C string name.
  static bool parseBool(const TiXmlElement& element, const char* name);
  // parseBool, or def when there is no such child.
  static bool parseBoolWithDefault(const TiXmlElement& element, const std::string& name, bool def);

  // One number, optionally between whitespace.
  static double parseDouble(const TiXmlElement& element, const std::string& name);
  // As above, for a C string name.
  static double parseDouble(const TiXmlElement& element, const char* name);
  // parseDouble, or def when there is no such child.
  static double parseDoubleWithDefault(const TiXmlElement& element, const std::string& name, double def);

  // One signed 32-bit integer; a value outside the int range fails.
  static int parseInt(const TiXmlElement& element, const std::string& name);
  // As above, for a C string name.
  static int parseInt(const TiXmlElement& element, const char* name);
  // parseInt, or def when there is no such child.
  static int parseIntWithDefault(const TiXmlElement& element, const std::string& name, int def);

  // Two numbers.
  static Reference<Vec2> parseVec2(const TiXmlElement& element, const std::string& name);
  // Three numbers.
  static Reference<Vec3> parseVec3(const TiXmlElement& element, const std::string& name);
  // Four numbers from the child "matrix" (whatever name says; its only
  // caller passes "matrix"); text after the fourth is ignored.
  static Reference<Matrix2> parseMatrix2(const TiXmlElement& element, const std::string& name);

  // Self-test of the value readers on an embedded document; aborts through
  // CORVANE_ASSERT on the first check that fails.
  static void test();

  // ---------------------------------------------------------------------
  // Spectra and tabulated spectral data

  // The one spectrum-type child of element ("blackbody", "peak", "rgb",
  // "uniform" or "regular_tabulated").
  static Reference<OrvaneSpectrum> parseSpectrum(const TiXmlElement& element);
  // A "uniform" element: "value".
  static Reference<OrvaneSpectrum> parseUniformSpectrum(const TiXmlElement& element);
  // An "rgb" element: an inner "rgb" with three numbers, and "gamma".
  static Reference<OrvaneSpectrum> parseRGBSpectrum(const TiXmlElement& element);
  // A "peak" element: "peak_min", "peak_width", "peak_value", "base_value".
  static Reference<OrvaneSpectrum> parsePeakSpectrum(const TiXmlElement& element);
  // A "blackbody" element: "temperature", "gain".
  static Reference<OrvaneSpectrum> parseBlackBodySpectrum(const TiXmlElement& element);
  // A "regular_tabulated" element; wavelengths in metres in the file, kept in
  // nanometres.
  static Reference<OrvaneSpectrum> parseRegularTabulatedSpectrum(const TiXmlElement& element);
  // A table element: "start_wavelength", "end_wavelength", "num_rows",
  // "num_columns", "values"; wavelengths kept in metres. The table may hold
  // at most MAX_TABULATED_TABLE_VALUES values.
  static Reference<OrvaneTabulatedSpectralData> parseTabulatedSpectralData(const TiXmlElement& element);

  // ---------------------------------------------------------------------
  // Material parameters and the old albedo and texture forms

  // A spectral parameter element holding one "constant", "texture" or "shader".
  static Reference<OrvaneWavelengthDependentParam> parseSpectrumMatParameterDirectly(
      const TiXmlElement& param, const TextureList& textures);
  // A scalar parameter element holding one "constant", "texture" or "shader".
  static Reference<OrvaneWavelengthIndependentParam> parseScalarMatParameterDirectly(
      const TiXmlElement& param, const TextureList& textures);
  // A displacement parameter element holding one "constant", "texture" or "shader".
  static Reference<OrvaneDisplacementParam> parseDisplaceMatParameterDirectly(const TiXmlElement& param,
                                                                              const TextureList& textures);

  // The constant form of a spectral parameter: the spectrum held by constant.
  static Reference<OrvaneWavelengthDependentParam> parseConstantSpectrumMatParameter(
      const TiXmlElement& constant, const TextureList& textures);
  // The texture form of a spectral parameter: a checked "texture_index".
  static Reference<OrvaneWavelengthDependentParam> parseTextureSpectrumMatParameter(
      const TiXmlElement& texture, const TextureList& textures);
  // The shader form of a spectral parameter: the inner "shader" text.
  static Reference<OrvaneWavelengthDependentParam> parseShaderSpectrumMatParameter(
      const TiXmlElement& shader, const TextureList& textures);

  // The constant form of a scalar parameter: the number of param's "constant".
  static Reference<OrvaneWavelengthIndependentParam> parseConstantScalarMatParameter(
      const TiXmlElement& param, const TiXmlElement& constant, const TextureList& textures);
  // The texture form of a scalar parameter.
  static Reference<OrvaneWavelengthIndependentParam> parseTextureScalarMatParameter(
      const TiXmlElement& param, const TiXmlElement& texture, const TextureList& textures);
  // The shader form of a scalar parameter.
  static Reference<OrvaneWavelengthIndependentParam> parseShaderScalarMatParameter(
      const TiXmlElement& param, const TiXmlElement& shader, const TextureList& textures);

  // The constant form of a displacement parameter.
  static Reference<OrvaneDisplacementParam> parseConstantDisplaceMatParameter(const TiXmlElement& param,
                                                                              const TiXmlElement& constant,
                                                                              const TextureList& textures);
  // The texture form of a displacement parameter.
  static Reference<OrvaneDisplacementParam> parseTextureDisplaceMatParameter(const TiXmlElement& param,
                                                                             const TiXmlElement& texture,
                                                                             const TextureList& textures);
  // The shader form of a displacement parameter.
  static Reference<OrvaneDisplacementParam> parseShaderDisplaceMatParameter(const TiXmlElement& param,
                                                                            const TiXmlElement& shader,
                                                                            const TextureList& textures);

  // The spectral parameter in the required child name of element.
  static Reference<OrvaneWavelengthDependentParam> parseSpectrumMatParameter(const TiXmlElement& element,
                                                                             const std::string& name,
                                                                             const TextureList& textures);
  // The scalar parameter in the required child name of element.
  static Reference<OrvaneWavelengthIndependentParam> parseScalarMatParameter(const TiXmlElement& element,
                                                                             const std::string& name,
                                                                             const TextureList& textures);
  // The displacement parameter in the required child name of element.
  static Reference<OrvaneDisplacementParam> parseDisplaceMatParameter(const TiXmlElement& element,
                                                                      const std::string& name,
                                                                      const TextureList& textures);

  // The spectral parameter in the child name of node, or empty without one.
  static Reference<OrvaneWavelengthDependentParam> parseOptionalSpectrumMatParameter(
      const TiXmlNode& node, const std::string& name, const TextureList& textures);
  // The scalar parameter in the child name of node, or empty without one.
  static Reference<OrvaneWavelengthIndependentParam> parseOptionalScalarMatParameter(
      const TiXmlNode& node, const std::string& name, const TextureList& textures);
  // The displacement parameter in the child name of element, or empty without one.
  static Reference<OrvaneDisplacementParam> parseOptionalDisplaceMatParameter(const TiXmlElement& element,
                                                                              const std::string& name,
                                                                              const TextureList& textures);

  // The albedo of the first present of "colour" (RGB, gamma 2.2),
  // "albedo_spectrum" and "albedo"; empty when none is present.
  static Reference<OrvaneWavelengthDependentParam> backwardsCompatibleAlbedoParse(
      const TiXmlElement& typeElement, const TextureList& textures);

  // When element has a child name, reads it as a texture, appends it and
  // returns its index; otherwise returns 0xFFFFFFFF and leaves textures alone.
  static uint32_t addPossibleTextureToList(const TiXmlElement& element, const std::string& name,
                                           TextureList& textures);

  // The old single-texture elements "albedo_texture", "bump_map" and
  // "displacement_map": each present one appends its texture and replaces
  // albedo, bump or displacement by a texture-form parameter of that index.
  static void backwardsCompatibleTextureParse(const TiXmlElement& typeElement, TextureList& textures,
                                              Reference<OrvaneWavelengthDependentParam>& albedo,
                                              Reference<OrvaneDisplacementParam>& bump,
                                              Reference<OrvaneDisplacementParam>& displacement);

  // ---------------------------------------------------------------------
  // Media, phase functions, subsurface scattering and the null material

  // A "medium" element: "name", optional "precedence" (2) and one type child.
  static Reference<OrvaneMedium> parseMedium(const TiXmlElement& medium);
  // A "basic" medium-type element.
  static Reference<OrvaneMedium> parseBasicMedium(const TiXmlElement& basic);
  // A "dermis" medium-type element.
  static Reference<OrvaneMedium> parseDermis(const TiXmlElement& dermis);
  // An "epidermis" medium-type element.
  static Reference<OrvaneMedium> parseEpidermis(const TiXmlElement& epidermis);
  // An "atmosphere" element: always fails with "Atmosphere loading not supported.".
  [[noreturn]] static void parseAtmosphereMedium(const TiXmlElement& atmosphere);
  // A "subsurface_scattering" element.
  static Reference<OrvaneSubsurfaceScattering> parseSubsurfaceScattering(const TiXmlElement& element);
  // A "phase_function" element holding "uniform" or "henyey_greenstein".
  static Reference<OrvanePhaseFunction> parsePhaseFunction(const TiXmlElement& element);
  // A "henyey_greenstein" element: "g_spectrum".
  static Reference<OrvanePhaseFunction> parseHenyeyGreensteinPhaseFunction(const TiXmlElement& element);
  // An element without child elements, as a uniform phase function.
  static Reference<OrvanePhaseFunction> parseUniformPhaseFunction(const TiXmlElement& element);
  // An element without child elements, as a null material.
  static Reference<OrvaneMaterial> parseNullMaterial(const TiXmlElement& element);

  // ---------------------------------------------------------------------
  // Textures, texture-coordinate generators and rotations

  // A "texture" element (or an old single-texture element).
  static OrvaneTexture parseTexture(const TiXmlElement& element);
  // A "tex_coord_generation" element holding one generator.
  static Reference<OrvaneTexCoordGenerator> parseTexCoordGenerator(const TiXmlElement& element);
  // A "uv" element: optional "matrix" (identity) and "translation" (0, 0).
  static Reference<OrvaneTexCoordGenerator> parseUVTexCoordGenerator(const TiXmlElement& element);
  // A "spherical" element: optional "rotation".
  static Reference<OrvaneTexCoordGenerator> parseSphericalTexCoordGenerator(const TiXmlElement& element);
  // A "spherical_environment" element: optional "rotation".
  static Reference<OrvaneTexCoordGenerator> parseEnvSphericalTexCoordGenerator(const TiXmlElement& element);
  // The rotation in the child name of element, or the identity without one.
  static Reference<OrvaneRotation> parseRotationWithDefault(const TiXmlElement& element,
                                                            const std::string& name);
  // A rotation element holding "matrix" (nine numbers) or "axis_rotation".
  static Reference<OrvaneRotation> parseRotation(const TiXmlElement& element);

  // ---------------------------------------------------------------------
  // Materials

  // Appends every "texture" child of typeElement, in document order.
  static void parseMaterialTextures(const TiXmlElement& typeElement, TextureList& textures);

  // A "specular" type element, as an OrvaneSpecularMaterial.
  static Reference<OrvaneMaterial> parseSpecular(const TiXmlElement& specularElem);
  // A "glossy_transparent" type element, as an OrvaneGlossyTransparent.
  static Reference<OrvaneMaterial> parseGlossyTransparent(const TiXmlElement& glossyElem);
  // A "diffuse" type element, as an OrvaneDiffuse.
  static Reference<OrvaneMaterial> parseDiffuse(const TiXmlElement& diffuseElem);
  // A "diffuse_transmitter" type element, as an OrvaneDiffuseTransmitter.
  static Reference<OrvaneMaterial> parseDiffuseTransmitter(const TiXmlElement& transmitterElem);
  // An "oren_nayar" type element, as an OrvaneOrenNayarMaterial.
  static Reference<OrvaneMaterial> parseOrenNayar(const TiXmlElement& orenNayarElem);
  // A "phong" type element, as an OrvanePhongMaterial; hands the older form
  // to parsePhongOld.
  static Reference<OrvaneMaterial> parsePhong(const TiXmlElement& phongElem);
  // The older form of a "phong" type element (numeric exponent, spectra).
  static Reference<OrvaneMaterial> parsePhongOld(const TiXmlElement& phongElem);
  // A "blend" type element, as an OrvaneBlendMaterial; hands the older form
  // (with "blend_factor") to parseBlendMaterialOld.
  static Reference<OrvaneMaterial> parseBlendMaterial(const TiXmlElement& blendElem);
  // The older form of a "blend" type element.
  static Reference<OrvaneMaterial> parseBlendMaterialOld(const TiXmlElement& blendElem);

 private:
  OrvaneSceneParseUtils() = delete;
};

}  // namespace Orvane
