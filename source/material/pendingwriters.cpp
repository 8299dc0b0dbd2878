// Temporary stand-ins for the plug-in material's channel writers, OVL embedding, medium writer
// and conversion of host materials, so that the material export links and runs before those
// writers are in this build. Each one writes nothing. They are replaced when the writers land,
// and this file is then deleted.
#include <tinyxml.h>

#include "material/customorvanematerial.h"

/// Marks a build that still carries these stand-ins (tests that need the real channel writers
/// look for it).
extern "C" const int corvanePendingMaterialWriters = 1;

void CustomOrvaneMaterial::MaterialExportAlbedo(String, BaseContainer*, int, TiXmlElement*) {}
void CustomOrvaneMaterial::MaterialExportExponent(String, BaseContainer*, TiXmlElement*) {}
void CustomOrvaneMaterial::MaterialExportSigma(String, BaseContainer*, TiXmlElement*) {}
void CustomOrvaneMaterial::MaterialExportBlend(String, BaseContainer*, TiXmlElement*) {}
void CustomOrvaneMaterial::MaterialExportBump(String, BaseContainer*, TiXmlElement*) {}
void CustomOrvaneMaterial::MaterialExportDisplacement(String, BaseContainer*, TiXmlElement*) {}
void CustomOrvaneMaterial::MaterialExportAbsorptionLayer(String, BaseContainer*, TiXmlElement*) {}
void CustomOrvaneMaterial::MaterialExportEmission(String, BaseContainer*, TiXmlElement*) {}

Bool CustomOrvaneMaterial::IsOVLShader(BaseShader*) { return false; }
Bool CustomOrvaneMaterial::BakeShader(BaseShader*, Filename, BaseContainer*, SAVEBIT) { return false; }
Bool CustomOrvaneMaterial::OvlShaderUsed(BaseContainer*, BaseDocument*, int) { return false; }

int CustomOrvaneMaterial::ExportShader(TiXmlElement*, TiXmlElement*, BaseShader*, int&, std::string,
                                       OVLReturnType) {
  return 0;
}
std::string CustomOrvaneMaterial::ReplaceShaderString(std::string text, std::string, std::string) {
  return text;
}

Bool CustomOrvaneMaterial::MaterialExportMedium(String, BaseMaterial*, TiXmlElement*) { return false; }
Bool CustomOrvaneMaterial::ConvertBaseMaterial(BaseMaterial*) { return false; }
