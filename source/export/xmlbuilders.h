// Builders of the XML elements that every file of the plug-in is made of, and the saving and
// loading of whole XML documents.
//
// Each builder appends one element, with its text or its child elements, as the last child of the
// parent it is given; the document owns what is appended. No attribute is ever written. Number
// text: integers "%i", reals "%08f", vectors "%08f %08f %08f", booleans "true" and "false", always
// with '.' as the decimal point whatever locale the process runs under.
#pragma once

#include <tinyxml.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "c4d.h"
#include "files/folder.h"
#include "files/result.h"
#include "files/temporary.h"

/// Appends `name` holding the decimal text of `value`.
void SceneExportLongValue(const std::string& name, int value, TiXmlElement* parent);
/// Appends `name` holding `value` as "%08f" (0.5 -> 0.500000, -2 -> -2.000000).
void SceneExportRealValue(const std::string& name, double value, TiXmlElement* parent);
/// Appends `name` holding "x y z", or "x z y" when `swap` is non-zero, each as "%08f".
void SceneExportVectorValue(const std::string& name, const LVector& value, TiXmlElement* parent, int swap);
/// Appends `name` holding "true" when `value` is non-zero, else "false".
void SceneExportBoolValue(const std::string& name, int value, TiXmlElement* parent);
/// Appends `name` holding `value` unchanged.
void SceneExportStringValue(const std::string& name, const std::string& value, TiXmlElement* parent);
/// Appends `name` holding `value` unchanged (a literal; null gives an empty text).
void SceneExportStringValue(const std::string& name, const char* value, TiXmlElement* parent);
/// Appends `name` holding `value` in UTF-8.
void SceneExportStringValue(const std::string& name, const String& value, TiXmlElement* parent);

/// Appends a comment holding `text`.
void SceneExportComment(const std::string& text, TiXmlElement* parent);
/// Appends a comment holding `text` (a literal; null gives an empty comment).
void SceneExportComment(const char* text, TiXmlElement* parent);
/// Appends a comment holding `text` in UTF-8.
void SceneExportComment(const String& text, TiXmlElement* parent);

/// True when `parent` has a child element `element` whose first "`field`" child holds `text`
/// (a "material" of that "name", a "texture" of that "path").
bool HasChildWith(const TiXmlElement* parent, const char* element, const char* field,
                  const std::string& text);

/// Appends "include" holding "pathname" = the file's full path in UTF-8.
void SceneExportInclude(const Filename& file, TiXmlElement* parent);

/// Appends "peak" holding the reals "peak_min", "peak_width", "base_value", "peak_value". 1.
int SceneExportSpectrumPeak(double peakMin, double peakWidth, double baseValue, double peakValue,
                            TiXmlElement* parent);
/// Appends "uniform" holding the real "value". 1.
int SceneExportSpectrumUniform(double value, TiXmlElement* parent);
/// Appends "blackbody" holding the reals "temperature", "gain". 1.
int SceneExportSpectrumBlackbody(double temperature, double gain, TiXmlElement* parent);
/// Appends "rgb" holding the vector "rgb" = colour * gain (not swapped), then the real "gamma". 1.
int SceneExportSpectrumRGB(const LVector& colour, double gamma, double gain, TiXmlElement* parent);
/// Appends "regular_tabulated" holding "start_wavelength", "end_wavelength" (texts as given),
/// "num_values" ("%i") and "values" (text as given). 1.
int SceneExportSpectrumTabulated(const std::string& start, const std::string& end, int count,
                                 const std::string& values, TiXmlElement* parent);

/// Appends "texture" holding the integer "texture_index".
void ExportTextureIndex(TiXmlElement* parent, int index);
/// Appends the spherical background texture-coordinate generation: "tex_coord_generation" /
/// "spherical" / "rotation" / "axis_rotation" holding "axis" = (0, 0, 1) and "angle" = 1.6.
void ExportBgTexCoordGen(TiXmlElement* parent);

/// Appends "texture" holding "uv_set" = "default", "path" = `path` unchanged, the reals
/// "exponent", "a", "b", "c", then, when `background` is non-zero, the background
/// texture-coordinate generation. The file name argument is not read. 1.
int ExportTexture(TiXmlElement* parent, const std::string& path, double exponent, double a, double b,
                  double c, const Filename& unused, int background);

/// Writes `doc` to `path` (UTF-8). The text goes to a new temporary file beside the target (see
/// files/temporary.h) that then replaces it, so a failed save leaves the previous file as it was and no
/// partial file behind. Every file is well-formed XML 1.0 whatever its texts hold: before writing, each text,
/// comment and attribute value of `doc` is made writable in place (characters XML 1.0 does not allow and
/// ill-formed UTF-8 become U+FFFD, "--" and a final "-" in comments are broken by a blank, a CDATA
/// section holding "]]>" becomes escaped text). True when the whole file was written and is in
/// place.
bool SaveXmlFile(TiXmlDocument& doc, std::string path);
/// As above; `result` (when given) receives what the failed call gave (ENOENT for an empty path),
/// or success.
bool SaveXmlFile(TiXmlDocument& doc, const std::string& path, files::Result* result);
/// Writes `doc` as above as the file `name` of the open folder `folder`, nothing walked again. The
/// new folders `keep` that the file refers to are kept with it (`files::TemporaryFile::Commit`).
files::Result SaveXmlFile(TiXmlDocument& doc, const files::Folder& folder, const std::string& name,
                          std::initializer_list<files::NewFolder*> keep = {});
/// `SaveXmlFile`, saying on the console when the file could not be saved: "Could not save the
/// `what` `path`: <reason>".
bool SaveXmlFileOrSay(TiXmlDocument& doc, const std::string& path, const char* what);
/// Reads `path` (UTF-8) into `doc` through the bounded loader (OrvaneXMLLoader::loadFile): a text
/// nested too deeply for the parser, or with too many attributes on an element, is refused before
/// parsing. True when the file could be read, whether or not its text parsed (when it did not,
/// `doc.Error()` is true and the document holds what the parser kept, nothing for a refused text);
/// false leaves the document unchanged. The message of a failure goes to `error` when given.
bool LoadXmlFile(TiXmlDocument& doc, std::string path, std::string* error = nullptr);
