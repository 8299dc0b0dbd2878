// The model writers of the plug-in material: one "material" element per model, holding "name" and
// the model element with the model's own values and its channels in the model's fixed order.
#include <tinyxml.h>

#include <cctype>
#include <memory>
#include <string>

#include "export/orvanescenedata.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "material/customorvanematerial.h"

namespace {

// The clay material's roughness.
constexpr double kClaySigma = 0.3;
// The gamma of the clay colour.
constexpr double kClayGamma = 2.2;

// The "nk_data" text of the nk file name `file`: the file in the renderer's "nkdata" folder. A
// name that already starts in that folder (in any case, as an imported material holds it) or
// names a folder "NKDATA" of its own is written unchanged, so that export and import repeated
// keep the name.
String NkDataText(const String& file) {
  static const char kFolder[] = "nkdata/";
  const std::string utf8 = Helpers::ToUTF8String(file);
  const size_t n = sizeof kFolder - 1;
  bool inFolder = utf8.size() >= n;
  for (size_t i = 0; inFolder && i < n; ++i)
    inFolder = std::tolower(static_cast<unsigned char>(utf8[i])) == kFolder[i];
  if (inFolder || file.FindFirst(String("NKDATA"), nullptr)) return file;
  return String(kFolder) + file;
}

// The "material" element under construction: "name", then the model element, appended to the
// parent only once it is complete.
class MaterialElement {
 public:
  MaterialElement(const String& name, const char* model) : material_(new TiXmlElement("material")) {
    SceneExportStringValue("name", name, material_.get());
    model_ = new TiXmlElement(model);
    material_->LinkEndChild(model_);
  }
  TiXmlElement* model() const { return model_; }
  void AppendTo(TiXmlElement* parent) { parent->LinkEndChild(material_.release()); }

 private:
  std::unique_ptr<TiXmlElement> material_;
  TiXmlElement* model_ = nullptr;
};

}  // namespace

Bool CustomOrvaneMaterial::MaterialExportDiffuseMaterial(String name, BaseList2D* mat, TiXmlElement* parent) {
  if (!mat || !parent) return false;
  BaseContainer* data = mat->GetDataInstance();
  MaterialElement e(name, "diffuse");
  MaterialExportAlbedo(name, data, 0, e.model());
  MaterialExportBump(name, data, e.model());
  MaterialExportDisplacement(name, data, e.model());
  MaterialExportEmission(name, data, e.model());
  e.AppendTo(parent);
  return true;
}

Bool CustomOrvaneMaterial::MaterialExportDiffuseTransMaterial(String name, BaseList2D* mat,
                                                              TiXmlElement* parent) {
  if (!mat || !parent) return false;
  BaseContainer* data = mat->GetDataInstance();
  MaterialElement e(name, "diffuse_transmitter");
  MaterialExportAlbedo(name, data, 0, e.model());
  MaterialExportBump(name, data, e.model());
  MaterialExportDisplacement(name, data, e.model());
  MaterialExportEmission(name, data, e.model());
  e.AppendTo(parent);
  return true;
}

Bool CustomOrvaneMaterial::MaterialExportOrenNayarMaterial(String name, BaseList2D* mat,
                                                           TiXmlElement* parent) {
  if (!mat || !parent) return false;
  BaseContainer* data = mat->GetDataInstance();
  MaterialElement e(name, "oren_nayar");
  MaterialExportSigma(name, data, e.model());
  MaterialExportAlbedo(name, data, 0, e.model());
  MaterialExportBump(name, data, e.model());
  MaterialExportDisplacement(name, data, e.model());
  MaterialExportEmission(name, data, e.model());
  e.AppendTo(parent);
  return true;
}

Bool CustomOrvaneMaterial::MaterialExportPhongMaterial(String name, BaseList2D* mat, TiXmlElement* parent) {
  if (!mat || !parent) return false;
  BaseContainer* data = mat->GetDataInstance();
  MaterialElement e(name, "phong");
  if (data->GetBool(Id(MAT_USE_NK))) {
    SceneExportStringValue("nk_data", NkDataText(data->GetString(Id(MAT_NK_FILE), String("Al.nk"))),
                           e.model());
  }
  SceneExportRealValue("ior", data->GetReal(Id(MAT_PHONG_IOR), 0.0), e.model());
  MaterialExportAlbedo(name, data, 1, e.model());
  MaterialExportExponent(name, data, e.model());
  MaterialExportBump(name, data, e.model());
  MaterialExportDisplacement(name, data, e.model());
  MaterialExportEmission(name, data, e.model());
  e.AppendTo(parent);
  return true;
}

Bool CustomOrvaneMaterial::MaterialExportSpecularMaterial(String name, BaseList2D* mat,
                                                          TiXmlElement* parent) {
  if (!mat || !parent) return false;
  BaseContainer* data = mat->GetDataInstance();
  MaterialElement e(name, "specular");
  SceneExportStringValue("internal_medium_name", String("Med") + name, e.model());
  SceneExportBoolValue("transparent", data->GetBool(Id(MAT_TRANSPARENT)), e.model());
  MaterialExportBump(name, data, e.model());
  MaterialExportDisplacement(name, data, e.model());
  MaterialExportEmission(name, data, e.model());
  MaterialExportAbsorptionLayer(name, data, e.model());
  e.AppendTo(parent);
  return true;
}

Bool CustomOrvaneMaterial::MaterialExportGlossyMaterial(String name, BaseList2D* mat, TiXmlElement* parent) {
  if (!mat || !parent) return false;
  BaseContainer* data = mat->GetDataInstance();
  MaterialElement e(name, "glossy_transparent");
  SceneExportStringValue("internal_medium_name", String("Med") + name, e.model());
  MaterialExportBump(name, data, e.model());
  MaterialExportDisplacement(name, data, e.model());
  MaterialExportExponent(name, data, e.model());
  MaterialExportEmission(name, data, e.model());
  MaterialExportAbsorptionLayer(name, data, e.model());
  e.AppendTo(parent);
  return true;
}

Bool CustomOrvaneMaterial::MaterialExportClayMaterial(String name, BaseList2D* mat, TiXmlElement* parent) {
  if (!mat || !parent) return false;
  BaseContainer* data = mat->GetDataInstance();
  MaterialElement e(name, "oren_nayar");
  const LVector clay = sceneData ? sceneData->clayAlbedo : LVector();
  TiXmlElement* albedo = new TiXmlElement("albedo");
  e.model()->LinkEndChild(albedo);
  TiXmlElement* constant = new TiXmlElement("constant");
  albedo->LinkEndChild(constant);
  SceneExportSpectrumRGB(clay, kClayGamma, 1.0, constant);
  TiXmlElement* sigma = new TiXmlElement("sigma");
  e.model()->LinkEndChild(sigma);
  SceneExportRealValue("constant", kClaySigma, sigma);
  MaterialExportBump(name, data, e.model());
  MaterialExportDisplacement(name, data, e.model());
  MaterialExportEmission(name, data, e.model());
  e.AppendTo(parent);
  return true;
}
