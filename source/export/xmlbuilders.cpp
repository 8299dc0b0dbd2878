// Builders of XML elements and the saving and loading of XML documents.
#include "export/xmlbuilders.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "main/helpers.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "orvane_utils/OrvaneXMLText.h"
#include "utils/stringutils.h"

namespace {

// Appends `name` holding one text node with `text`.
void AppendText(const std::string& name, const std::string& text, TiXmlElement* parent) {
  TiXmlElement* element = new TiXmlElement(name);
  element->LinkEndChild(new TiXmlText(text));
  parent->LinkEndChild(element);
}

// Appends an empty element `name` and answers it.
TiXmlElement* AppendElement(const char* name, TiXmlElement* parent) {
  TiXmlElement* element = new TiXmlElement(name);
  parent->LinkEndChild(element);
  return element;
}

// Appends `value` as "%08f" prints it in the "C" locale. A finite number has at least eight
// characters with six decimals, so the width never pads; to_chars gives printf's exact digits
// without the locale switch and the format parsing.
void AppendReal(double value, std::string* out) {
  if (std::isfinite(value)) {
    char text[352];  // the longest double in fixed notation with six decimals fits
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    if (r.ec == std::errc()) {
      out->append(text, r.ptr);
      return;
    }
  }
  *out += buildString("%08f", value);
}

std::string RealText(double value) {
  std::string text;
  AppendReal(value, &text);
  return text;
}

std::string VectorText(double a, double b, double c) {
  std::string text;
  text.reserve(32);
  AppendReal(a, &text);
  text += ' ';
  AppendReal(b, &text);
  text += ' ';
  AppendReal(c, &text);
  return text;
}

// The reals "exponent", "a", "b", "c" and the optional background generation of a texture.
void AppendTextureTail(TiXmlElement* texture, double exponent, double a, double b, double c, int background) {
  SceneExportRealValue("exponent", exponent, texture);
  SceneExportRealValue("a", a, texture);
  SceneExportRealValue("b", b, texture);
  SceneExportRealValue("c", c, texture);
  if (background) ExportBgTexCoordGen(texture);
}

// Makes every text, comment and attribute value under `root` fit for an XML 1.0 file (see
// OrvaneXMLText.h). A CDATA section holding "]]>" becomes plain text, which the printer escapes.
void MakeWritable(TiXmlNode* root) {
  using Orvane::XMLText::allowedText;
  using Orvane::XMLText::commentText;
  using Orvane::XMLText::isAllowed;
  TiXmlNode* node = root;
  while (node) {
    if (TiXmlText* text = node->ToText()) {
      if (!isAllowed(text->ValueStr())) text->SetValue(allowedText(text->ValueStr()));
      if (text->CDATA() && text->ValueStr().find("]]>") != std::string::npos) text->SetCDATA(false);
    } else if (TiXmlComment* comment = node->ToComment()) {
      const std::string safe = commentText(comment->ValueStr());
      if (safe != comment->ValueStr()) comment->SetValue(safe);
    } else if (TiXmlUnknown* unknown = node->ToUnknown()) {
      if (!isAllowed(unknown->ValueStr())) unknown->SetValue(allowedText(unknown->ValueStr()));
    } else if (TiXmlElement* element = node->ToElement()) {
      for (TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next())
        if (!isAllowed(a->ValueStr())) a->SetValue(allowedText(a->ValueStr()));
    }
    // Depth first, without recursion.
    if (node->FirstChild()) {
      node = node->FirstChild();
      continue;
    }
    while (node && node != root && !node->NextSibling()) node = node->Parent();
    node = (node && node != root) ? node->NextSibling() : nullptr;
  }
}

}  // namespace

void SceneExportLongValue(const std::string& name, int value, TiXmlElement* parent) {
  AppendText(name, std::to_string(value), parent);
}

void SceneExportRealValue(const std::string& name, double value, TiXmlElement* parent) {
  AppendText(name, RealText(value), parent);
}

void SceneExportVectorValue(const std::string& name, const LVector& value, TiXmlElement* parent, int swap) {
  AppendText(name, swap ? VectorText(value.x, value.z, value.y) : VectorText(value.x, value.y, value.z),
             parent);
}

void SceneExportBoolValue(const std::string& name, int value, TiXmlElement* parent) {
  AppendText(name, value ? "true" : "false", parent);
}

void SceneExportStringValue(const std::string& name, const std::string& value, TiXmlElement* parent) {
  AppendText(name, value, parent);
}

void SceneExportStringValue(const std::string& name, const char* value, TiXmlElement* parent) {
  AppendText(name, value ? std::string(value) : std::string(), parent);
}

void SceneExportStringValue(const std::string& name, const String& value, TiXmlElement* parent) {
  AppendText(name, Helpers::ToUTF8String(value), parent);
}

void SceneExportComment(const std::string& text, TiXmlElement* parent) {
  TiXmlComment* comment = new TiXmlComment();
  comment->SetValue(text);
  parent->LinkEndChild(comment);
}

void SceneExportComment(const char* text, TiXmlElement* parent) {
  SceneExportComment(text ? std::string(text) : std::string(), parent);
}

void SceneExportComment(const String& text, TiXmlElement* parent) {
  SceneExportComment(Helpers::ToUTF8String(text), parent);
}

void SceneExportInclude(const Filename& file, TiXmlElement* parent) {
  TiXmlElement* include = AppendElement("include", parent);
  SceneExportStringValue("pathname", Helpers::ToUTF8String(file.GetString()), include);
}

int SceneExportSpectrumPeak(double peakMin, double peakWidth, double baseValue, double peakValue,
                            TiXmlElement* parent) {
  TiXmlElement* peak = AppendElement("peak", parent);
  SceneExportRealValue("peak_min", peakMin, peak);
  SceneExportRealValue("peak_width", peakWidth, peak);
  SceneExportRealValue("base_value", baseValue, peak);
  SceneExportRealValue("peak_value", peakValue, peak);
  return 1;
}

int SceneExportSpectrumUniform(double value, TiXmlElement* parent) {
  TiXmlElement* uniform = AppendElement("uniform", parent);
  SceneExportRealValue("value", value, uniform);
  return 1;
}

int SceneExportSpectrumBlackbody(double temperature, double gain, TiXmlElement* parent) {
  TiXmlElement* blackbody = AppendElement("blackbody", parent);
  SceneExportRealValue("temperature", temperature, blackbody);
  SceneExportRealValue("gain", gain, blackbody);
  return 1;
}

int SceneExportSpectrumRGB(const LVector& colour, double gamma, double gain, TiXmlElement* parent) {
  TiXmlElement* rgb = AppendElement("rgb", parent);
  SceneExportVectorValue("rgb", LVector(colour.x * gain, colour.y * gain, colour.z * gain), rgb, 0);
  SceneExportRealValue("gamma", gamma, rgb);
  return 1;
}

int SceneExportSpectrumTabulated(const std::string& start, const std::string& end, int count,
                                 const std::string& values, TiXmlElement* parent) {
  TiXmlElement* tabulated = AppendElement("regular_tabulated", parent);
  SceneExportStringValue("start_wavelength", start, tabulated);
  SceneExportStringValue("end_wavelength", end, tabulated);
  SceneExportLongValue("num_values", count, tabulated);
  SceneExportStringValue("values", values, tabulated);
  return 1;
}

bool HasChildWith(const TiXmlElement* parent, const char* element, const char* field,
                  const std::string& text) {
  for (const TiXmlElement* e = parent->FirstChildElement(element); e; e = e->NextSiblingElement(element)) {
    const TiXmlElement* f = e->FirstChildElement(field);
    if (f && f->GetText() && text == f->GetText()) return true;
  }
  return false;
}

void ExportTextureIndex(TiXmlElement* parent, int index) {
  TiXmlElement* texture = AppendElement("texture", parent);
  SceneExportLongValue("texture_index", index, texture);
}

void ExportBgTexCoordGen(TiXmlElement* parent) {
  TiXmlElement* generation = AppendElement("tex_coord_generation", parent);
  TiXmlElement* spherical = AppendElement("spherical", generation);
  TiXmlElement* rotation = AppendElement("rotation", spherical);
  TiXmlElement* axisRotation = AppendElement("axis_rotation", rotation);
  SceneExportVectorValue("axis", LVector(0.0, 0.0, 1.0), axisRotation, 0);
  SceneExportRealValue("angle", 1.6, axisRotation);
}

int ExportTexture(TiXmlElement* parent, const std::string& path, double exponent, double a, double b,
                  double c, const Filename& /*unused*/, int background) {
  TiXmlElement* texture = AppendElement("texture", parent);
  SceneExportStringValue("uv_set", "default", texture);
  SceneExportStringValue("path", path, texture);
  AppendTextureTail(texture, exponent, a, b, c, background);
  return 1;
}

bool SaveXmlFile(TiXmlDocument& doc, std::string path) { return SaveXmlFile(doc, path, nullptr); }

bool SaveXmlFile(TiXmlDocument& doc, const std::string& path, files::Result* result) {
  files::Place place;
  files::Result r = files::Locate(path, &place);
  if (r.ok()) r = SaveXmlFile(doc, place.folder, place.name);
  if (result) *result = r;
  return r.ok();
}

files::Result SaveXmlFile(TiXmlDocument& doc, const files::Folder& folder, const std::string& name,
                          std::initializer_list<files::NewFolder*> keep) {
  files::TemporaryFile temporary;
  if (files::Result r = folder.CreateTemporary(name, &temporary); !r.ok()) return r;
  // The stream writes through a descriptor of its own; the temporary keeps its own to commit.
  const int fd = ::dup(temporary.Descriptor());
  FILE* file = fd >= 0 ? fdopen(fd, "w") : nullptr;
  // The errno of a failed call, or `otherwise` when the call left none.
  const auto fail = [&](int otherwise) {
    return files::Result::System(errno != 0 ? errno : otherwise, temporary.FinalPath());
  };
  if (!file) {
    const files::Result r = fail(ENOMEM);
    if (fd >= 0) ::close(fd);
    return r;
  }
  MakeWritable(&doc);
  errno = 0;
  files::Result r;
  if (!doc.SaveFile(file) || std::fflush(file) != 0 || ::fsync(fd) != 0) r = fail(EIO);
  errno = 0;
  if (std::fclose(file) != 0 && r.ok()) r = fail(EIO);
  return r.ok() ? temporary.Commit(keep) : r;
}

bool SaveXmlFileOrSay(TiXmlDocument& doc, const std::string& path, const char* what) {
  files::Result result;
  if (SaveXmlFile(doc, path, &result)) return true;
  GePrint(String("Could not save the ") + String(what) + String(" ") + String(path) + String(": ") +
          String(result.Text()));
  return false;
}

bool LoadXmlFile(TiXmlDocument& doc, std::string path, std::string* error) {
  std::string message;
  const Orvane::OrvaneXMLLoader::LoadResult result = Orvane::OrvaneXMLLoader::loadFile(path, doc, message);
  if (error) *error = message;
  return result != Orvane::OrvaneXMLLoader::LOAD_NOT_READ;
}
