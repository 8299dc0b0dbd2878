#include "command/previewdialog.h"

#include <tinyxml.h>

#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "main/orvanelaunch.h"

namespace {

constexpr LONG kDialogResource = 10027;
constexpr LONG kExecutableText = 1682;
constexpr LONG kCancel = 1676;
constexpr LONG kChooseFolder = 1680;

std::string TemplatePath(const char* file) {
  return Helpers::ToUTF8String((GeGetPluginPath() + Filename("preview") + Filename(file)).GetString());
}

// Loads a template; true only when it was read whole (a file that does not parse is not touched).
bool LoadTemplate(TiXmlDocument& doc, const std::string& path) {
  return LoadXmlFile(doc, path) && !doc.Error();
}

// Replaces the first child `name` of `parent` by a new last child with `text`.
void ReplaceChild(TiXmlElement* parent, const char* name, const std::string& text) {
  if (TiXmlElement* old = parent->FirstChildElement(name)) parent->RemoveChild(old);
  auto* element = new TiXmlElement(name);
  element->LinkEndChild(new TiXmlText(text));
  parent->LinkEndChild(element);
}

void RemoveChild(TiXmlElement* parent, const char* name) {
  if (TiXmlElement* old = parent->FirstChildElement(name)) parent->RemoveChild(old);
}

}  // namespace

Bool PreviewDialog::CreateLayout() {
  GeModalDialog::CreateLayout();
  return LoadDialogResource(kDialogResource, nullptr, 0);
}

Bool PreviewDialog::InitValues() {
  SetLong(1668, 1670);
  SetLong(1683, 1685);
  SetBool(1720, true);
  SetReal(1715, 2.0, 0.0, 50.0, 1.0, FORMAT_LONG);
  SetReal(1717, 0.0, -1e300, 1e300, 1.0, FORMAT_REAL);
  SetReal(1719, 0.1, -1e300, 1e300, 1.0, FORMAT_REAL);
  SetLong(1721, 1722);
  if (!Helpers::GetOrvaneExe(&executable, 1, 1)) {
    Helpers::ChooseOrvaneExe();
    if (!Helpers::GetOrvaneExe(&executable, 1, 1)) return false;
  }
  SetString(kExecutableText, executable.GetString());
  return true;
}

Bool PreviewDialog::Command(LONG id, const BaseContainer&) {
  if (id == kCancel) {
    Close(false);
  } else if (id == kChooseFolder) {
    Helpers::ChooseOrvaneExe();
    Helpers::GetOrvaneExe(&executable, 1, 1);
    SetString(kExecutableText, executable.GetString());
    BaseContainer action(BFM_ACTION), result;
    Message(action, result);
  }
  return true;
}

Bool PreviewDialog::ChangeResolution(int size) {
  const std::string path = TemplatePath("settings.ovs");
  TiXmlDocument doc;
  if (!LoadTemplate(doc, path)) return true;
  TiXmlElement* root = doc.RootElement();
  if (!root || root->ValueStr() != "scenedata") return true;
  TiXmlElement* settings = root->FirstChildElement("renderer_settings");
  if (!settings) return true;
  ReplaceChild(settings, "width", std::to_string(size));
  ReplaceChild(settings, "height", std::to_string(size));
  // A template that could not be saved is said; the renderer then reads it as it was.
  SaveXmlFileOrSay(doc, path, "preview scene");
  return true;
}

Bool PreviewDialog::AddSubdivisionOption(int enable, int maxSubdivisions, double pixelThreshold,
                                         double curvatureThreshold, int smoothing) {
  const std::string path = TemplatePath("preview.ovs");
  TiXmlDocument doc;
  if (!LoadTemplate(doc, path)) return true;
  TiXmlElement* root = doc.RootElement();
  if (!root || root->ValueStr() != "scene") return true;
  TiXmlElement* sphere = nullptr;
  for (TiXmlElement* mesh = root->FirstChildElement("mesh"); mesh && !sphere;
       mesh = mesh->NextSiblingElement("mesh")) {
    TiXmlElement* name = mesh->FirstChildElement("name");
    if (name && name->GetText() && std::string(name->GetText()) == "preview_sphere") sphere = mesh;
  }
  if (!sphere) return true;
  for (const char* name : {"max_num_subdivisions", "subdivide_pixel_threshold",
                           "subdivide_curvature_threshold", "subdivision_smoothing"})
    RemoveChild(sphere, name);
  if (enable) {
    ReplaceChild(sphere, "max_num_subdivisions", std::to_string(maxSubdivisions));
    ReplaceChild(sphere, "subdivide_pixel_threshold",
                 Helpers::ToUTF8String(String::RealToString(pixelThreshold)));
    ReplaceChild(sphere, "subdivide_curvature_threshold",
                 Helpers::ToUTF8String(String::RealToString(curvatureThreshold)));
    ReplaceChild(sphere, "subdivision_smoothing", smoothing ? "true" : "false");
  }
  // A template that could not be saved is said; the renderer then reads it as it was.
  SaveXmlFileOrSay(doc, path, "preview scene");
  return true;
}
