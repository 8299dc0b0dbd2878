#include "background_material/exportbasematerial_double.h"

#include <tinyxml.h>

#include "c4d.h"
#include "host_control.h"

std::vector<ExportBaseMaterialCall>& ExportBaseMaterialCalls() {
  static std::vector<ExportBaseMaterialCall> calls;
  return calls;
}

void ClearExportBaseMaterialCalls() { ExportBaseMaterialCalls().clear(); }

// Appends "material" holding "name" = "background_material" (with `background`) and "double" =
// the material's name, so that tests see where the material went.
void ExportBaseMaterial(BaseMaterial* material, TiXmlElement* parent, AtomArray* done,
                        OrvaneSceneData* sceneData, int preview, int background) {
  ExportBaseMaterialCalls().push_back(
      {material, parent ? parent->Value() : "", done, sceneData, preview, background});
  if (!material || !parent) return;
  auto* element = new TiXmlElement("material");
  auto* name = new TiXmlElement("name");
  name->LinkEndChild(new TiXmlText(background ? "background_material" : "other"));
  element->LinkEndChild(name);
  auto* from = new TiXmlElement("double");
  from->LinkEndChild(new TiXmlText(host::ToUtf8(material->GetName()).c_str()));
  element->LinkEndChild(from);
  parent->LinkEndChild(element);
}
