// The readers of the material XML below the material level: child checks,
// values, spectra, parameters, media, textures and rotations.

#include "orvane_utils/OrvaneSceneParseUtils.h"

#include <array>
#include <cstring>
#include <set>

#include "orvane_utils/OrvaneAxisRotation.h"
#include "orvane_utils/OrvaneBasicMedium.h"
#include "orvane_utils/OrvaneBlackBodySpectrum.h"
#include "orvane_utils/OrvaneConstantDisplacementParam.h"
#include "orvane_utils/OrvaneConstantWavelengthDependentParam.h"
#include "orvane_utils/OrvaneConstantWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneDermis.h"
#include "orvane_utils/OrvaneEpidermis.h"
#include "orvane_utils/OrvaneHenyeyGreensteinPhaseFunction.h"
#include "orvane_utils/OrvaneMatrixRotation.h"
#include "orvane_utils/OrvaneNullMaterial.h"
#include "orvane_utils/OrvanePeakSpectrum.h"
#include "orvane_utils/OrvaneRGBSpectrum.h"
#include "orvane_utils/OrvaneRegularSpectrum.h"
#include "orvane_utils/OrvaneShaderDisplacementParam.h"
#include "orvane_utils/OrvaneShaderWavelengthDependentParam.h"
#include "orvane_utils/OrvaneShaderWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneSphericalEnvTexCoordGenerator.h"
#include "orvane_utils/OrvaneSphericalTexCoordGenerator.h"
#include "orvane_utils/OrvaneTextureDisplacementParam.h"
#include "orvane_utils/OrvaneTextureWavelengthDependentParam.h"
#include "orvane_utils/OrvaneTextureWavelengthIndependentParam.h"
#include "orvane_utils/OrvaneUVTexCoordGenerator.h"
#include "orvane_utils/OrvaneUniformPhaseFunction.h"
#include "orvane_utils/OrvaneUniformSpectrum.h"
#include "utils/corvane_assert.h"
#include "utils/parser.h"
#include "utils/stringutils.h"

namespace Orvane {

namespace {

typedef OrvaneSceneParseUtils PU;

// Throws the error: text followed by the location suffix of node.
[[noreturn]] void fail(const TiXmlNode& node, const std::string& text) {
  throw OrvaneSceneParseUtilsExcep(text + PU::elemContext(node));
}

bool inList(const char* name, const char* const* list) {
  for (; *list; ++list)
    if (std::strcmp(name, *list) == 0) return true;
  return false;
}

// The text of element: its text children (CDATA included) joined in document
// order. Comments and nested elements add nothing. The common case, one text
// node and nothing else, is returned without a copy; otherwise the text is
// built in scratch.
const std::string& elementText(const TiXmlElement& element, std::string& scratch) {
  const TiXmlNode* child = element.FirstChild();
  if (child && !child->NextSibling() && child->ToText()) return child->ValueStr();
  scratch.clear();
  for (; child; child = child->NextSibling())
    if (child->ToText()) scratch += child->ValueStr();
  return scratch;
}

const TiXmlElement& requireChild(const TiXmlElement& element, const char* name) {
  const TiXmlElement* child = element.FirstChildElement(name);
  if (!child) fail(element, std::string("could not find element '") + name + "'.");
  return *child;
}

// Reads count numbers from text (whitespace before each; nothing between
// numbers is needed) into out. Returns false at the first that is missing.
template <size_t N>
bool readNumbers(const std::string& text, double (&out)[N], size_t count = N) {
  Parser parser(text.data(), text.size());
  for (size_t i = 0; i < count; ++i) {
    parser.parseWhiteSpace();
    if (!parser.parseDouble(out[i])) return false;
  }
  return true;
}

// Reads exactly N numbers (and nothing after them) from the child name;
// what names the value in the messages ("double", "Vec2", "Vec3").
template <size_t N>
void readVector(const TiXmlElement& element, const char* name, const char* what, double (&out)[N]) {
  std::string scratch;
  const std::string& text = elementText(requireChild(element, name), scratch);
  Parser parser(text.data(), text.size());
  for (size_t i = 0; i < N; ++i) {
    parser.parseWhiteSpace();
    if (!parser.parseDouble(out[i]))
      fail(element, std::string("Failed to parse ") + what + " from '" + text + "'.");
  }
  parser.parseWhiteSpace();
  if (!parser.eof())
    fail(element, std::string("Parse error while parsing ") + what + " from '" + text + "'.");
}

// Reads count values from the child "values" of element, appending them one
// by one: storage grows only with numbers that are really there.
std::vector<double> readValues(const TiXmlElement& element, int64_t count) {
  std::string scratch;
  const std::string& text = elementText(requireChild(element, "values"), scratch);
  // Every number takes at least one byte, so a shorter text cannot hold them.
  if (count > static_cast<int64_t>(text.size())) fail(element, "Syntax error while parsing data.");
  std::vector<double> values;
  Parser parser(text.data(), text.size());
  for (int64_t i = 0; i < count; ++i) {
    double value = 0.0;
    parser.parseWhiteSpace();
    if (!parser.parseDouble(value)) fail(element, "Syntax error while parsing data.");
    values.push_back(value);
  }
  return values;
}

void checkWavelengths(const TiXmlElement& element, double start, double end) {
  if (start > 4e-7) fail(element, "start_wavelength must be <= 0.4e-6 m (400 nm).");
  if (end < 7e-7) fail(element, "end_wavelength must be >= 0.7e-6 m (700 nm).");
}

void checkCount(const TiXmlElement& element, const char* name, int count) {
  if (count < 2) fail(element, std::string(name) + " must be >= 2.");
  if (count > PU::MAX_TABULATED_COUNT) fail(element, std::string(name) + " must be <= 1e6.");
}

// The index in "texture_index" of a texture-form element, checked against the
// texture list.
uint32_t textureIndex(const TiXmlElement& texture, const PU::TextureList& textures) {
  const int index = PU::parseInt(texture, "texture_index");
  if (index < 0 || static_cast<size_t>(index) >= textures.size())
    fail(texture, "Texture index '" + intToString(index) + "' is out of bounds.");
  return static_cast<uint32_t>(index);
}

// The program text of a shader-form element (the inner "shader").
std::string shaderText(const TiXmlElement& shader) { return PU::parseString(shader, "shader"); }

const char* const kParamForms[] = {"constant", "texture", "shader", nullptr};

Reference<OrvaneRotation> identityRotation() {
  const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  return Reference<OrvaneRotation>(new OrvaneMatrixRotation(identity));
}

}  // namespace

// ---------------------------------------------------------------------------
// Element context, child checks and errors

std::string OrvaneSceneParseUtils::elemContext(const TiXmlNode& node) {
  return "  (In element '" + node.ValueStr() + "', around line " + intToString(node.Row()) + ", column " +
         intToString(node.Column()) + ")";
}

void OrvaneSceneParseUtils::checkOnlyElements(const TiXmlNode& node, const char* const* allowed) {
  for (const TiXmlElement* child = node.FirstChildElement(); child; child = child->NextSiblingElement())
    if (!inList(child->Value(), allowed)) fail(node, "Found unexpected element '" + child->ValueStr() + "'.");
}

void OrvaneSceneParseUtils::checkExactlyOneChild(const TiXmlNode& node, const char* const* names) {
  const TiXmlElement* first = node.FirstChildElement();
  if (!first) {
    std::set<std::string> sorted;
    for (const char* const* name = names; *name; ++name) sorted.insert(*name);
    fail(node, "Failed to find child for element '" + node.ValueStr() + "' - Child should be one of '" +
                   StringUtils::join(sorted, "', '") + "'.");
  }
  const TiXmlElement* previous = nullptr;
  for (const TiXmlElement* child = first; child; child = child->NextSiblingElement()) {
    if (!inList(child->Value(), names)) fail(node, "Found unexpected element '" + child->ValueStr() + "'.");
    if (previous)
      fail(node, "Found unexpected element '" + child->ValueStr() +
                     ",  already parsed mutually exclusive element '" + previous->ValueStr() + "'.");
    previous = child;
  }
}

const TiXmlElement& OrvaneSceneParseUtils::getChildElement(const TiXmlElement& element,
                                                           const std::string& name) {
  return getChildElement(element, name.c_str());
}

const TiXmlElement& OrvaneSceneParseUtils::getChildElement(const TiXmlElement& element, const char* name) {
  const TiXmlElement* child = element.FirstChildElement(name);
  if (!child) fail(element, std::string("Failed to find expected element '") + name + "'.");
  return *child;
}

// ---------------------------------------------------------------------------
// Text, boolean, number and vector values

std::string OrvaneSceneParseUtils::parseString(const TiXmlElement& element, const std::string& name) {
  return parseString(element, name.c_str());
}

std::string OrvaneSceneParseUtils::parseString(const TiXmlElement& element, const char* name) {
  std::string scratch;
  return elementText(requireChild(element, name), scratch);
}

std::string OrvaneSceneParseUtils::parseStringWithDefault(const TiXmlElement& element,
                                                          const std::string& name, const std::string& def) {
  return element.FirstChildElement(name) ? parseString(element, name) : def;
}

bool OrvaneSceneParseUtils::parseBool(const TiXmlElement& element, const std::string& name) {
  return parseBool(element, name.c_str());
}

bool OrvaneSceneParseUtils::parseBool(const TiXmlElement& element, const char* name) {
  std::string scratch;
  const std::string& text = elementText(requireChild(element, name), scratch);
  if (text == "true") return true;
  if (text == "false") return false;
  fail(element, "Invalid boolean value (Should be 'true' or 'false').");
}

bool OrvaneSceneParseUtils::parseBoolWithDefault(const TiXmlElement& element, const std::string& name,
                                                 bool def) {
  return element.FirstChildElement(name) ? parseBool(element, name) : def;
}

double OrvaneSceneParseUtils::parseDouble(const TiXmlElement& element, const std::string& name) {
  return parseDouble(element, name.c_str());
}

double OrvaneSceneParseUtils::parseDouble(const TiXmlElement& element, const char* name) {
  double value[1];
  readVector(element, name, "double", value);
  return value[0];
}

double OrvaneSceneParseUtils::parseDoubleWithDefault(const TiXmlElement& element, const std::string& name,
                                                     double def) {
  return element.FirstChildElement(name) ? parseDouble(element, name) : def;
}

int OrvaneSceneParseUtils::parseInt(const TiXmlElement& element, const std::string& name) {
  return parseInt(element, name.c_str());
}

int OrvaneSceneParseUtils::parseInt(const TiXmlElement& element, const char* name) {
  std::string scratch;
  const std::string& text = elementText(requireChild(element, name), scratch);
  Parser parser(text.data(), text.size());
  int value = 0;
  parser.parseWhiteSpace();
  // The number parser refuses values outside the int range: an overflowing
  // count is an error, never a wrapped value.
  if (!parser.parseInt(value)) fail(element, "Failed to parse integer from '" + text + "'.");
  parser.parseWhiteSpace();
  if (!parser.eof()) fail(element, "Parse error while parsing integer from '" + text + "'.");
  return value;
}

int OrvaneSceneParseUtils::parseIntWithDefault(const TiXmlElement& element, const std::string& name,
                                               int def) {
  return element.FirstChildElement(name) ? parseInt(element, name) : def;
}

Reference<Vec2> OrvaneSceneParseUtils::parseVec2(const TiXmlElement& element, const std::string& name) {
  double v[2];
  readVector(element, name.c_str(), "Vec2", v);
  return Reference<Vec2>(new Vec2(v[0], v[1]));
}

Reference<Vec3> OrvaneSceneParseUtils::parseVec3(const TiXmlElement& element, const std::string& name) {
  double v[3];
  readVector(element, name.c_str(), "Vec3", v);
  return Reference<Vec3>(new Vec3(v[0], v[1], v[2]));
}

Reference<Matrix2> OrvaneSceneParseUtils::parseMatrix2(const TiXmlElement& element,
                                                       const std::string& /*name*/) {
  double m[4];
  if (!readNumbers(parseString(element, "matrix"), m)) fail(element, "syntax error while parsing Matrix2.");
  return Reference<Matrix2>(new Matrix2(m[0], m[1], m[2], m[3]));
}

void OrvaneSceneParseUtils::test() {
  const char* const document =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<root>\n"
      "\t<a>3.0</a>\n"
      "\t<b> 5 <!-- five --></b>\n"
      "\t<c>true</c>\n"
      "\t<d>Hel<!-- split -->lo</d>\n"
      "</root>\n";
  TiXmlDocument doc;
  doc.Parse(document);
  CORVANE_ASSERT(!doc.Error());
  const TiXmlElement* root = doc.RootElement();
  CORVANE_ASSERT(root != nullptr);
  CORVANE_ASSERT(parseDouble(*root, "a") == 3.0);
  CORVANE_ASSERT(parseInt(*root, "b") == 5);
  CORVANE_ASSERT(parseBool(*root, "c") == true);
  CORVANE_ASSERT(parseString(*root, "d") == "Hello");
}

// ---------------------------------------------------------------------------
// Spectra and tabulated spectral data

Reference<OrvaneSpectrum> OrvaneSceneParseUtils::parseSpectrum(const TiXmlElement& element) {
  static const char* const kTypes[] = {"blackbody", "peak", "rgb", "uniform", "regular_tabulated", nullptr};
  checkExactlyOneChild(element, kTypes);
  const TiXmlElement& child = *element.FirstChildElement();
  const std::string& type = child.ValueStr();
  if (type == "blackbody") return parseBlackBodySpectrum(child);
  if (type == "peak") return parsePeakSpectrum(child);
  if (type == "rgb") return parseRGBSpectrum(child);
  if (type == "uniform") return parseUniformSpectrum(child);
  return parseRegularTabulatedSpectrum(child);
}

Reference<OrvaneSpectrum> OrvaneSceneParseUtils::parseUniformSpectrum(const TiXmlElement& element) {
  static const char* const kAllowed[] = {"value", nullptr};
  checkOnlyElements(element, kAllowed);
  return Reference<OrvaneSpectrum>(new OrvaneUniformSpectrum(parseDouble(element, "value")));
}

Reference<OrvaneSpectrum> OrvaneSceneParseUtils::parseRGBSpectrum(const TiXmlElement& element) {
  static const char* const kAllowed[] = {"rgb", "gamma", nullptr};
  checkOnlyElements(element, kAllowed);
  const Reference<Vec3> rgb = parseVec3(element, "rgb");
  const double gamma = parseDouble(element, "gamma");
  return Reference<OrvaneSpectrum>(new OrvaneRGBSpectrum(rgb, gamma));
}

Reference<OrvaneSpectrum> OrvaneSceneParseUtils::parsePeakSpectrum(const TiXmlElement& element) {
  static const char* const kAllowed[] = {"peak_min", "peak_width", "peak_value", "base_value", nullptr};
  checkOnlyElements(element, kAllowed);
  const double peak_min = parseDouble(element, "peak_min");
  const double peak_width = parseDouble(element, "peak_width");
  const double peak_value = parseDouble(element, "peak_value");
  const double base_value = parseDouble(element, "base_value");
  return Reference<OrvaneSpectrum>(new OrvanePeakSpectrum(peak_min, peak_width, peak_value, base_value));
}

Reference<OrvaneSpectrum> OrvaneSceneParseUtils::parseBlackBodySpectrum(const TiXmlElement& element) {
  static const char* const kAllowed[] = {"temperature", "gain", nullptr};
  checkOnlyElements(element, kAllowed);
  const double temperature = parseDouble(element, "temperature");
  const double gain = parseDouble(element, "gain");
  return Reference<OrvaneSpectrum>(new OrvaneBlackBodySpectrum(temperature, gain));
}

Reference<OrvaneSpectrum> OrvaneSceneParseUtils::parseRegularTabulatedSpectrum(const TiXmlElement& element) {
  static const char* const kAllowed[] = {"start_wavelength", "end_wavelength", "num_values", "values",
                                         nullptr};
  checkOnlyElements(element, kAllowed);
  const double start = parseDouble(element, "start_wavelength");
  const double end = parseDouble(element, "end_wavelength");
  const int count = parseInt(element, "num_values");
  checkCount(element, "num_values", count);
  checkWavelengths(element, start, end);
  std::vector<double> values = readValues(element, count);
  return Reference<OrvaneSpectrum>(
      new OrvaneRegularSpectrum(start * 1e9, end * 1e9, count, std::move(values)));
}

Reference<OrvaneTabulatedSpectralData> OrvaneSceneParseUtils::parseTabulatedSpectralData(
    const TiXmlElement& element) {
  static const char* const kAllowed[] = {"start_wavelength", "end_wavelength", "num_rows",
                                         "num_columns",      "values",         nullptr};
  checkOnlyElements(element, kAllowed);
  const double start = parseDouble(element, "start_wavelength");
  const double end = parseDouble(element, "end_wavelength");
  const int rows = parseInt(element, "num_rows");
  checkCount(element, "num_rows", rows);
  const int columns = parseInt(element, "num_columns");
  checkCount(element, "num_columns", columns);
  checkWavelengths(element, start, end);
  // Up to 10^12 by the limits above: formed in 64 bits and bounded before
  // any storage is taken.
  const int64_t count = OrvaneTabulatedSpectralData::valueCount(rows, columns);
  if (count > MAX_TABULATED_TABLE_VALUES) fail(element, "num_rows * num_columns must be <= 1e7.");
  std::vector<double> values = readValues(element, count);
  return Reference<OrvaneTabulatedSpectralData>(
      new OrvaneTabulatedSpectralData(start, end, rows, columns, std::move(values)));
}

// ---------------------------------------------------------------------------
// Material parameters

Reference<OrvaneWavelengthDependentParam> OrvaneSceneParseUtils::parseSpectrumMatParameterDirectly(
    const TiXmlElement& param, const TextureList& textures) {
  checkExactlyOneChild(param, kParamForms);
  if (const TiXmlElement* constant = param.FirstChildElement("constant"))
    return parseConstantSpectrumMatParameter(*constant, textures);
  if (const TiXmlElement* texture = param.FirstChildElement("texture"))
    return parseTextureSpectrumMatParameter(*texture, textures);
  return parseShaderSpectrumMatParameter(*param.FirstChildElement("shader"), textures);
}

Reference<OrvaneWavelengthIndependentParam> OrvaneSceneParseUtils::parseScalarMatParameterDirectly(
    const TiXmlElement& param, const TextureList& textures) {
  checkExactlyOneChild(param, kParamForms);
  if (const TiXmlElement* constant = param.FirstChildElement("constant"))
    return parseConstantScalarMatParameter(param, *constant, textures);
  if (const TiXmlElement* texture = param.FirstChildElement("texture"))
    return parseTextureScalarMatParameter(param, *texture, textures);
  return parseShaderScalarMatParameter(param, *param.FirstChildElement("shader"), textures);
}

Reference<OrvaneDisplacementParam> OrvaneSceneParseUtils::parseDisplaceMatParameterDirectly(
    const TiXmlElement& param, const TextureList& textures) {
  checkExactlyOneChild(param, kParamForms);
  if (const TiXmlElement* constant = param.FirstChildElement("constant"))
    return parseConstantDisplaceMatParameter(param, *constant, textures);
  if (const TiXmlElement* texture = param.FirstChildElement("texture"))
    return parseTextureDisplaceMatParameter(param, *texture, textures);
  return parseShaderDisplaceMatParameter(param, *param.FirstChildElement("shader"), textures);
}

Reference<OrvaneWavelengthDependentParam> OrvaneSceneParseUtils::parseConstantSpectrumMatParameter(
    const TiXmlElement& constant, const TextureList&) {
  return Reference<OrvaneWavelengthDependentParam>(
      new OrvaneConstantWavelengthDependentParam(parseSpectrum(constant)));
}

Reference<OrvaneWavelengthDependentParam> OrvaneSceneParseUtils::parseTextureSpectrumMatParameter(
    const TiXmlElement& texture, const TextureList& textures) {
  return Reference<OrvaneWavelengthDependentParam>(
      new OrvaneTextureWavelengthDependentParam(textureIndex(texture, textures)));
}

Reference<OrvaneWavelengthDependentParam> OrvaneSceneParseUtils::parseShaderSpectrumMatParameter(
    const TiXmlElement& shader, const TextureList&) {
  return Reference<OrvaneWavelengthDependentParam>(
      new OrvaneShaderWavelengthDependentParam(shaderText(shader)));
}

Reference<OrvaneWavelengthIndependentParam> OrvaneSceneParseUtils::parseConstantScalarMatParameter(
    const TiXmlElement& param, const TiXmlElement&, const TextureList&) {
  return Reference<OrvaneWavelengthIndependentParam>(
      new OrvaneConstantWavelengthIndependentParam(parseDouble(param, "constant")));
}

Reference<OrvaneWavelengthIndependentParam> OrvaneSceneParseUtils::parseTextureScalarMatParameter(
    const TiXmlElement&, const TiXmlElement& texture, const TextureList& textures) {
  return Reference<OrvaneWavelengthIndependentParam>(
      new OrvaneTextureWavelengthIndependentParam(textureIndex(texture, textures)));
}

Reference<OrvaneWavelengthIndependentParam> OrvaneSceneParseUtils::parseShaderScalarMatParameter(
    const TiXmlElement&, const TiXmlElement& shader, const TextureList&) {
  return Reference<OrvaneWavelengthIndependentParam>(
      new OrvaneShaderWavelengthIndependentParam(shaderText(shader)));
}

Reference<OrvaneDisplacementParam> OrvaneSceneParseUtils::parseConstantDisplaceMatParameter(
    const TiXmlElement& param, const TiXmlElement&, const TextureList&) {
  return Reference<OrvaneDisplacementParam>(
      new OrvaneConstantDisplacementParam(parseDouble(param, "constant")));
}

Reference<OrvaneDisplacementParam> OrvaneSceneParseUtils::parseTextureDisplaceMatParameter(
    const TiXmlElement&, const TiXmlElement& texture, const TextureList& textures) {
  return Reference<OrvaneDisplacementParam>(
      new OrvaneTextureDisplacementParam(textureIndex(texture, textures)));
}

Reference<OrvaneDisplacementParam> OrvaneSceneParseUtils::parseShaderDisplaceMatParameter(
    const TiXmlElement&, const TiXmlElement& shader, const TextureList&) {
  return Reference<OrvaneDisplacementParam>(new OrvaneShaderDisplacementParam(shaderText(shader)));
}

Reference<OrvaneWavelengthDependentParam> OrvaneSceneParseUtils::parseSpectrumMatParameter(
    const TiXmlElement& element, const std::string& name, const TextureList& textures) {
  return parseSpectrumMatParameterDirectly(getChildElement(element, name), textures);
}

Reference<OrvaneWavelengthIndependentParam> OrvaneSceneParseUtils::parseScalarMatParameter(
    const TiXmlElement& element, const std::string& name, const TextureList& textures) {
  return parseScalarMatParameterDirectly(getChildElement(element, name), textures);
}

Reference<OrvaneDisplacementParam> OrvaneSceneParseUtils::parseDisplaceMatParameter(
    const TiXmlElement& element, const std::string& name, const TextureList& textures) {
  return parseDisplaceMatParameterDirectly(getChildElement(element, name), textures);
}

Reference<OrvaneWavelengthDependentParam> OrvaneSceneParseUtils::parseOptionalSpectrumMatParameter(
    const TiXmlNode& node, const std::string& name, const TextureList& textures) {
  const TiXmlElement* child = node.FirstChildElement(name);
  return child ? parseSpectrumMatParameterDirectly(*child, textures)
               : Reference<OrvaneWavelengthDependentParam>();
}

Reference<OrvaneWavelengthIndependentParam> OrvaneSceneParseUtils::parseOptionalScalarMatParameter(
    const TiXmlNode& node, const std::string& name, const TextureList& textures) {
  const TiXmlElement* child = node.FirstChildElement(name);
  return child ? parseScalarMatParameterDirectly(*child, textures)
               : Reference<OrvaneWavelengthIndependentParam>();
}

Reference<OrvaneDisplacementParam> OrvaneSceneParseUtils::parseOptionalDisplaceMatParameter(
    const TiXmlElement& element, const std::string& name, const TextureList& textures) {
  const TiXmlElement* child = element.FirstChildElement(name);
  return child ? parseDisplaceMatParameterDirectly(*child, textures) : Reference<OrvaneDisplacementParam>();
}

Reference<OrvaneWavelengthDependentParam> OrvaneSceneParseUtils::backwardsCompatibleAlbedoParse(
    const TiXmlElement& typeElement, const TextureList& textures) {
  if (typeElement.FirstChildElement("colour")) {
    const Reference<OrvaneSpectrum> rgb(new OrvaneRGBSpectrum(parseVec3(typeElement, "colour"), 2.2));
    return Reference<OrvaneWavelengthDependentParam>(new OrvaneConstantWavelengthDependentParam(rgb));
  }
  if (const TiXmlElement* spectrum = typeElement.FirstChildElement("albedo_spectrum"))
    return Reference<OrvaneWavelengthDependentParam>(
        new OrvaneConstantWavelengthDependentParam(parseSpectrum(*spectrum)));
  if (const TiXmlElement* albedo = typeElement.FirstChildElement("albedo"))
    return parseSpectrumMatParameterDirectly(*albedo, textures);
  return Reference<OrvaneWavelengthDependentParam>();
}

uint32_t OrvaneSceneParseUtils::addPossibleTextureToList(const TiXmlElement& element, const std::string& name,
                                                         TextureList& textures) {
  const TiXmlElement* child = element.FirstChildElement(name);
  if (!child) return 0xFFFFFFFFu;
  textures.push_back(parseTexture(*child));
  return static_cast<uint32_t>(textures.size() - 1);
}

void OrvaneSceneParseUtils::backwardsCompatibleTextureParse(
    const TiXmlElement& typeElement, TextureList& textures, Reference<OrvaneWavelengthDependentParam>& albedo,
    Reference<OrvaneDisplacementParam>& bump, Reference<OrvaneDisplacementParam>& displacement) {
  uint32_t index = addPossibleTextureToList(typeElement, "albedo_texture", textures);
  if (index != 0xFFFFFFFFu)
    albedo = Reference<OrvaneWavelengthDependentParam>(new OrvaneTextureWavelengthDependentParam(index));
  index = addPossibleTextureToList(typeElement, "bump_map", textures);
  if (index != 0xFFFFFFFFu)
    bump = Reference<OrvaneDisplacementParam>(new OrvaneTextureDisplacementParam(index));
  index = addPossibleTextureToList(typeElement, "displacement_map", textures);
  if (index != 0xFFFFFFFFu)
    displacement = Reference<OrvaneDisplacementParam>(new OrvaneTextureDisplacementParam(index));
}

// ---------------------------------------------------------------------------
// Media, phase functions, subsurface scattering and the null material

Reference<OrvaneMedium> OrvaneSceneParseUtils::parseMedium(const TiXmlElement& medium) {
  static const char* const kAllowed[] = {"name",      "precedence", "basic", "dermis",
                                         "epidermis", "atmosphere", nullptr};
  checkOnlyElements(medium, kAllowed);
  Reference<OrvaneMedium> result;
  if (const TiXmlElement* basic = medium.FirstChildElement("basic"))
    result = parseBasicMedium(*basic);
  else if (const TiXmlElement* dermis = medium.FirstChildElement("dermis"))
    result = parseDermis(*dermis);
  else if (const TiXmlElement* epidermis = medium.FirstChildElement("epidermis"))
    result = parseEpidermis(*epidermis);
  else if (const TiXmlElement* atmosphere = medium.FirstChildElement("atmosphere"))
    parseAtmosphereMedium(*atmosphere);
  else
    fail(medium, "Medium type not found. ");
  result->name = parseString(medium, "name");
  result->precedence = medium.FirstChildElement("precedence") ? parseInt(medium, "precedence") : 2;
  return result;
}

Reference<OrvaneMedium> OrvaneSceneParseUtils::parseBasicMedium(const TiXmlElement& basic) {
  static const char* const kAllowed[] = {"ior", "cauchy_b_coeff", "absorption_coefficient_spectrum",
                                         "subsurface_scattering", nullptr};
  checkOnlyElements(basic, kAllowed);
  const double ior = parseDouble(basic, "ior");
  const double cauchy_b_coeff = parseDouble(basic, "cauchy_b_coeff");
  const Reference<OrvaneSpectrum> absorption =
      parseSpectrum(getChildElement(basic, "absorption_coefficient_spectrum"));
  Reference<OrvaneSubsurfaceScattering> scattering;
  if (const TiXmlElement* sss = basic.FirstChildElement("subsurface_scattering"))
    scattering = parseSubsurfaceScattering(*sss);
  return Reference<OrvaneMedium>(new OrvaneBasicMedium("", 2, ior, cauchy_b_coeff, absorption, scattering));
}

Reference<OrvaneMedium> OrvaneSceneParseUtils::parseDermis(const TiXmlElement& dermis) {
  static const char* const kAllowed[] = {"hemoglobin_fraction", nullptr};
  checkOnlyElements(dermis, kAllowed);
  return Reference<OrvaneMedium>(new OrvaneDermis("", 2, parseDouble(dermis, "hemoglobin_fraction")));
}

Reference<OrvaneMedium> OrvaneSceneParseUtils::parseEpidermis(const TiXmlElement& epidermis) {
  static const char* const kAllowed[] = {"melanin_fraction", "melanin_type_blend", nullptr};
  checkOnlyElements(epidermis, kAllowed);
  const double melanin_fraction = parseDouble(epidermis, "melanin_fraction");
  const double melanin_type_blend = parseDouble(epidermis, "melanin_type_blend");
  return Reference<OrvaneMedium>(new OrvaneEpidermis("", 2, melanin_fraction, melanin_type_blend));
}

void OrvaneSceneParseUtils::parseAtmosphereMedium(const TiXmlElement&) {
  throw OrvaneSceneParseUtilsExcep("Atmosphere loading not supported.");
}

Reference<OrvaneSubsurfaceScattering> OrvaneSceneParseUtils::parseSubsurfaceScattering(
    const TiXmlElement& element) {
  const Reference<OrvaneSpectrum> scattering =
      parseSpectrum(getChildElement(element, "scattering_coefficient_spectrum"));
  const Reference<OrvanePhaseFunction> phase = parsePhaseFunction(getChildElement(element, "phase_function"));
  return Reference<OrvaneSubsurfaceScattering>(new OrvaneSubsurfaceScattering(scattering, phase));
}

Reference<OrvanePhaseFunction> OrvaneSceneParseUtils::parsePhaseFunction(const TiXmlElement& element) {
  static const char* const kForms[] = {"uniform", "henyey_greenstein", nullptr};
  checkExactlyOneChild(element, kForms);
  if (const TiXmlElement* uniform = element.FirstChildElement("uniform"))
    return parseUniformPhaseFunction(*uniform);
  if (const TiXmlElement* hg = element.FirstChildElement("henyey_greenstein"))
    return parseHenyeyGreensteinPhaseFunction(*hg);
  fail(element, "No phase function defined for medium. ");
}

Reference<OrvanePhaseFunction> OrvaneSceneParseUtils::parseHenyeyGreensteinPhaseFunction(
    const TiXmlElement& element) {
  static const char* const kAllowed[] = {"g_spectrum", nullptr};
  checkOnlyElements(element, kAllowed);
  return Reference<OrvanePhaseFunction>(
      new OrvaneHenyeyGreensteinPhaseFunction(parseSpectrum(getChildElement(element, "g_spectrum"))));
}

Reference<OrvanePhaseFunction> OrvaneSceneParseUtils::parseUniformPhaseFunction(const TiXmlElement& element) {
  static const char* const kNone[] = {nullptr};
  checkOnlyElements(element, kNone);
  return Reference<OrvanePhaseFunction>(new OrvaneUniformPhaseFunction());
}

Reference<OrvaneMaterial> OrvaneSceneParseUtils::parseNullMaterial(const TiXmlElement& element) {
  static const char* const kNone[] = {nullptr};
  checkOnlyElements(element, kNone);
  return Reference<OrvaneMaterial>(new OrvaneNullMaterial());
}

// ---------------------------------------------------------------------------
// Textures, texture-coordinate generators and rotations

OrvaneTexture OrvaneSceneParseUtils::parseTexture(const TiXmlElement& element) {
  OrvaneTexture texture;
  texture.path = parseString(element, "path");
  texture.a = element.FirstChildElement("a") ? parseDouble(element, "a") : 0.0;
  texture.b = element.FirstChildElement("b") ? parseDouble(element, "b") : 1.0;
  texture.c = element.FirstChildElement("c") ? parseDouble(element, "c") : 0.0;
  texture.uv_set = parseString(element, "uv_set");
  texture.exponent = element.FirstChildElement("exponent") ? parseDouble(element, "exponent") : 1.0;
  if (const TiXmlElement* generation = element.FirstChildElement("tex_coord_generation"))
    texture.tex_coord_generation = parseTexCoordGenerator(*generation);
  else
    texture.tex_coord_generation = Reference<OrvaneTexCoordGenerator>(new OrvaneUVTexCoordGenerator(
        Reference<Matrix2>(new Matrix2(1, 0, 0, 1)), Reference<Vec2>(new Vec2(0, 0))));
  return texture;
}

Reference<OrvaneTexCoordGenerator> OrvaneSceneParseUtils::parseTexCoordGenerator(
    const TiXmlElement& element) {
  static const char* const kForms[] = {"uv", "spherical", "spherical_environment", nullptr};
  checkExactlyOneChild(element, kForms);
  const TiXmlElement& child = *element.FirstChildElement();
  if (child.ValueStr() == "uv") return parseUVTexCoordGenerator(child);
  if (child.ValueStr() == "spherical") return parseSphericalTexCoordGenerator(child);
  return parseEnvSphericalTexCoordGenerator(child);
}

Reference<OrvaneTexCoordGenerator> OrvaneSceneParseUtils::parseUVTexCoordGenerator(
    const TiXmlElement& element) {
  static const char* const kAllowed[] = {"matrix", "translation", nullptr};
  checkOnlyElements(element, kAllowed);
  const Reference<Matrix2> matrix = element.FirstChildElement("matrix")
                                        ? parseMatrix2(element, "matrix")
                                        : Reference<Matrix2>(new Matrix2(1, 0, 0, 1));
  const Reference<Vec2> translation = element.FirstChildElement("translation")
                                          ? parseVec2(element, "translation")
                                          : Reference<Vec2>(new Vec2(0, 0));
  return Reference<OrvaneTexCoordGenerator>(new OrvaneUVTexCoordGenerator(matrix, translation));
}

Reference<OrvaneTexCoordGenerator> OrvaneSceneParseUtils::parseSphericalTexCoordGenerator(
    const TiXmlElement& element) {
  static const char* const kAllowed[] = {"rotation", nullptr};
  checkOnlyElements(element, kAllowed);
  return Reference<OrvaneTexCoordGenerator>(
      new OrvaneSphericalTexCoordGenerator(parseRotationWithDefault(element, "rotation")));
}

Reference<OrvaneTexCoordGenerator> OrvaneSceneParseUtils::parseEnvSphericalTexCoordGenerator(
    const TiXmlElement& element) {
  static const char* const kAllowed[] = {"rotation", nullptr};
  checkOnlyElements(element, kAllowed);
  return Reference<OrvaneTexCoordGenerator>(
      new OrvaneSphericalEnvTexCoordGenerator(parseRotationWithDefault(element, "rotation")));
}

Reference<OrvaneRotation> OrvaneSceneParseUtils::parseRotationWithDefault(const TiXmlElement& element,
                                                                          const std::string& name) {
  const TiXmlElement* rotation = element.FirstChildElement(name);
  return rotation ? parseRotation(*rotation) : identityRotation();
}

Reference<OrvaneRotation> OrvaneSceneParseUtils::parseRotation(const TiXmlElement& element) {
  static const char* const kForms[] = {"matrix", "axis_rotation", nullptr};
  checkExactlyOneChild(element, kForms);
  if (element.FirstChildElement("matrix")) {
    double m[9];
    if (!readNumbers(parseString(element, "matrix"), m)) fail(element, "syntax error while parsing Matrix.");
    return Reference<OrvaneRotation>(new OrvaneMatrixRotation(m));
  }
  if (const TiXmlElement* axisRotation = element.FirstChildElement("axis_rotation")) {
    static const char* const kAllowed[] = {"axis", "angle", nullptr};
    checkOnlyElements(*axisRotation, kAllowed);
    const Reference<Vec3> axis = parseVec3(*axisRotation, "axis");
    const double angle = parseDouble(*axisRotation, "angle");
    return Reference<OrvaneRotation>(new OrvaneAxisRotation(axis, angle));
  }
  throw OrvaneSceneParseUtilsExcep("Internal Error.");
}

}  // namespace Orvane
