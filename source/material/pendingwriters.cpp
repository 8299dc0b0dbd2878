// Temporary stand-ins for the plug-in material's channel writers, so that the material export links and runs before those
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

