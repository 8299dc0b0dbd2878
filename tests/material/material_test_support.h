// A document with plug-in materials and an export of them into one XML element, for the tests of
// the material export.
#pragma once

#include <tinyxml.h>

#include <string>
#include <vector>

#include "export/orvanescenedata.h"
#include "material/customorvanematerial.h"
#include "material/exportbasematerial.h"
#include "support/host_fixture.h"

/// The XML text of `node` without line breaks.
inline std::string XmlText(const TiXmlNode* node) {
  TiXmlPrinter printer;
  printer.SetStreamPrinting();
  node->Accept(&printer);
  return printer.CStr();
}

class MaterialTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    doc = BaseDocument::Alloc();
    sd.document = doc;
    root = new TiXmlElement("root");
    xml.LinkEndChild(root);
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }

  /// A new plug-in material `name` appended to the document, switched to `type` (0: as created).
  BaseMaterial* Add(const char* name, LONG type = 0) {
    BaseMaterial* mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    mat->SetName(name);
    if (type) {
      mat->GetDataInstance()->SetLong(MAT_TYPE, type);
      CustomOrvaneMaterial::SetChannels(mat->GetDataInstance());
    }
    BaseMaterial* last = doc->GetFirstMaterial();
    while (last && last->GetNext()) last = last->GetNext();
    doc->InsertMaterial(mat, last);
    return mat;
  }

  static CustomOrvaneMaterial* Data(BaseMaterial* mat) {
    return static_cast<CustomOrvaneMaterial*>(mat->GetNodeData());
  }

  /// The children of the output element.
  std::vector<const TiXmlElement*> Children() const {
    std::vector<const TiXmlElement*> out;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) out.push_back(e);
    return out;
  }

  /// "name:model" of every "material" of the output, and "medium" for a medium, in order.
  std::vector<std::string> Written() const {
    std::vector<std::string> out;
    for (const TiXmlElement* e : Children()) {
      const TiXmlElement* name = e->FirstChildElement("name");
      const TiXmlElement* model = name ? name->NextSiblingElement() : nullptr;
      if (e->ValueStr() != "material") {
        out.push_back(e->ValueStr());
        continue;
      }
      out.push_back(std::string(name && name->GetText() ? name->GetText() : "") + ":" +
                    (model ? model->Value() : ""));
    }
    return out;
  }

  /// "a_name b_name" of the blend material `name` in the output.
  std::string Partners(const std::string& name) const {
    for (const TiXmlElement* e : Children()) {
      const TiXmlElement* n = e->FirstChildElement("name");
      const TiXmlElement* blend = e->FirstChildElement("blend");
      if (!n || !blend || !n->GetText() || name != n->GetText()) continue;
      return std::string(blend->FirstChildElement("a_name")->GetText()) + " " +
             blend->FirstChildElement("b_name")->GetText();
    }
    return "(none)";
  }

  BaseDocument* doc = nullptr;
  OrvaneSceneData sd;
  TiXmlDocument xml;
  TiXmlElement* root = nullptr;
};
