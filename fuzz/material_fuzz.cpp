// Fuzz target of the material readers: arbitrary bytes go through the bounded
// XML loader and TinyXML to the material file check, as the runner's
// "check-material" command sends a file's bytes. Then every element of the
// tree is handed to the reader its name suggests, wherever it stands, and the
// loader's measure must match the tree TinyXML built exactly: the deepest
// nesting and the most attributes on one element.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <tinyxml.h>

#include "orvane_utils/OrvaneMaterialCheck.h"
#include "orvane_utils/OrvaneSceneParseUtils.h"
#include "orvane_utils/OrvaneXMLLoader.h"

using namespace Orvane;

namespace {

typedef OrvaneSceneParseUtils PU;

bool is(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

// The reader for an element of this name, as its parent would call it.
void readElement(const TiXmlElement& element, const TiXmlElement* parent, const PU::TextureList& textures) {
  const std::string& name = element.ValueStr();
  if (name == "material") {
    if (const TiXmlElement* type = OrvaneMaterialCheck::findTypeElement(element))
      OrvaneMaterialCheck::parseTypeElement(*type);
  } else if (is(name, {"specular", "glossy_transparent", "diffuse", "diffuse_transmitter", "oren_nayar",
                       "phong", "blend"}))
    OrvaneMaterialCheck::parseTypeElement(element);
  else if (name == "null_material")
    PU::parseNullMaterial(element);
  else if (name == "medium")
    PU::parseMedium(element);
  else if (is(name,
              {"texture", "albedo_texture", "bump_map", "displacement_map", "exponent_map", "blend_map"}))
    PU::parseTexture(element);
  else if (is(name, {"constant", "albedo_spectrum", "absorption_coefficient_spectrum", "g_spectrum",
                     "scattering_coefficient_spectrum", "diffuse_albedo_spectrum",
                     "specular_reflectivity_spectrum"}))
    PU::parseSpectrum(element);
  else if (is(name, {"tabulated_external_reflection_coefficient", "tabulated_internal_reflection_coefficient",
                     "tabulated_transmission_coefficient"}))
    PU::parseTabulatedSpectralData(element);
  else if (name == "tex_coord_generation")
    PU::parseTexCoordGenerator(element);
  else if (name == "rotation")
    PU::parseRotation(element);
  else if (name == "phase_function")
    PU::parsePhaseFunction(element);
  else if (name == "subsurface_scattering")
    PU::parseSubsurfaceScattering(element);
  else if (is(name, {"albedo", "diffuse_albedo", "specular_reflectivity", "absorption_layer_transmittance",
                     "base_emission", "emission"}))
    PU::parseSpectrumMatParameterDirectly(element, textures);
  else if (is(name, {"exponent", "sigma"}))
    PU::parseScalarMatParameterDirectly(element, textures);
  else if (is(name, {"bump", "displacement"}))
    PU::parseDisplaceMatParameterDirectly(element, textures);
  else if (parent) {
    // A leaf: every value reader on it.
    const char* readers[] = {"double", "int", "bool", "vec2", "vec3", "matrix"};
    for (const char* reader : readers) {
      try {
        const std::string r = reader;
        if (r == "double")
          PU::parseDouble(*parent, name);
        else if (r == "int")
          PU::parseInt(*parent, name);
        else if (r == "bool")
          PU::parseBool(*parent, name);
        else if (r == "vec2")
          PU::parseVec2(*parent, name);
        else if (r == "vec3")
          PU::parseVec3(*parent, name);
        else
          PU::parseMatrix2(*parent, name);
      } catch (const OrvaneSceneParseUtilsExcep&) {}
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // The whole check, as the runner runs it on a file.
  std::ostringstream report;
  OrvaneMaterialCheck::checkText(bytes, report);

  // The measure must be what TinyXML builds, or the depth limit would not
  // protect the stack.
  const std::string text = OrvaneXMLLoader::prepare(bytes);
  const OrvaneXMLLoader::Shape shape = OrvaneXMLLoader::measure(text.c_str());
  if (shape.max_depth > OrvaneXMLLoader::MAX_ELEMENT_DEPTH ||
      shape.max_attributes > OrvaneXMLLoader::MAX_ATTRIBUTES_PER_ELEMENT)
    return 0;
  TiXmlDocument doc;
  doc.Parse(text.c_str());

  PU::TextureList textures(2);
  struct Item {
    const TiXmlElement* element;
    int depth;
  };
  std::vector<Item> stack;
  int deepest = 0, mostAttributes = 0;
  for (const TiXmlElement* e = doc.FirstChildElement(); e; e = e->NextSiblingElement())
    stack.push_back(Item{e, 1});
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    if (item.depth > shape.max_depth) std::abort();  // the measure fell short of TinyXML's nesting
    deepest = std::max(deepest, item.depth);
    int attributes = 0;
    for (const TiXmlAttribute* a = item.element->FirstAttribute(); a; a = a->Next()) ++attributes;
    if (attributes > shape.max_attributes)
      std::abort();  // the measure fell short of TinyXML's attribute count
    mostAttributes = std::max(mostAttributes, attributes);
    try {
      readElement(*item.element, item.element->Parent() ? item.element->Parent()->ToElement() : nullptr,
                  textures);
    } catch (const OrvaneSceneParseUtilsExcep&) {}
    for (const TiXmlElement* c = item.element->FirstChildElement(); c; c = c->NextSiblingElement())
      stack.push_back(Item{c, item.depth + 1});
  }
  if (deepest != shape.max_depth || mostAttributes != shape.max_attributes)
    std::abort();  // the measure read the text otherwise than TinyXML did
  return 0;
}
