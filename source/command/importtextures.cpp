// Texture loading and the texture setters of the channels: an image of the material file becomes
// a bitmap shader of the material, linked into the channel, with its mapping values beside it.
#include <algorithm>
#include <string>

#include "command/importovm.h"
#include "files/folder.h"
#include "command/importtext.h"
#include "main/helpers.h"
#include "material/materialparams.h"

using Orvane::OrvaneTexture;

namespace {

// A drive path ("C:\..."), taken as written.
bool IsDrivePath(const std::string& path) { return path.size() >= 3 && path[1] == ':' && path[2] == '\\'; }

// The texture `relative` beside the material file in `folder` (its folder part as given, such as
// "L/.."): joined as text, "." and empty names left out, every ".." kept, so that the walk that
// reads it resolves ".." after a link as the kernel does. Backslashes count as "/".
std::string Beside(const std::string& folder, std::string relative) {
  std::replace(relative.begin(), relative.end(), '\\', '/');
  std::string joined = folder;
  for (const std::string& name : files::PathNames(relative))
    joined += (joined.empty() || joined.back() == '/' ? "" : "/") + name;
  return joined;
}

// Writes the texture's mapping values after the link: gamma, a, b, c.
void WriteMapping(BaseContainer* data, int link, const OrvaneTexture* tex) {
  if (!data || !tex) return;
  data->SetReal(link + 2, tex->a);
  data->SetReal(link + 3, tex->b);
  data->SetReal(link + 4, tex->c);
  data->SetReal(link + 1, tex->exponent);
}

}  // namespace

void ImportOVM::LoadTexture(BaseMaterial* mat, BaseContainer* container, int linkId, int switchId,
                            const std::string& path) {
  if (!container || !mat) return;
  std::string candidate;
  if (IsDrivePath(path)) {
    candidate = path;
  } else {
    const std::string folder = Helpers::ToUTF8String(fileName.GetDirectory().GetString());
    // A path that starts with "/" is relative to the material file's folder too.
    const size_t start = path.find_first_not_of('/');
    const std::string relative = start == std::string::npos ? std::string() : path.substr(start);
    candidate = relative.empty() ? folder + "/" : Beside(folder, relative);
    // A POSIX absolute path that is not beside the material file is tried as written.
    if (path[0] == '/' && !GeFExist(Filename(ImportText(candidate))) && GeFExist(Filename(ImportText(path))))
      candidate = path;
  }
  // An empty path or a folder never loads.
  if (path.empty() || !GeFExist(Filename(ImportText(candidate)))) {
    SayTexture("Failed to load texture from: ", candidate);
    return;
  }
  // Kept as the walk found it: a ".." joined onto the material file's folder would name another
  // file once a link or the working folder on the way changes.
  candidate = files::Resolve(candidate);
  SayTexture("Loaded texture: ", candidate);
  BaseShader* shader = BaseShader::Alloc(Xbitmap);
  if (!shader) return;
  shader->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename(ImportText(Shown(candidate))));
  loadedTextures_.push_back(shader);
  container->SetLink(linkId, shader);
  mat->InsertShader(shader, nullptr);
  container->SetBool(switchId, TRUE);
}

std::string ImportOVM::Shown(const std::string& path) const {
  if (unpackedFrom_.empty() || path.rfind(unpackedFrom_, 0) != 0) return path;
  return unpackedAs_ + path.substr(unpackedFrom_.size());
}

void ImportOVM::SayTexture(const char* words, const std::string& path) {
  if (unpackedFrom_.empty())
    GePrint(String(words) + ImportText(path));
  else
    textureLines_.emplace_back(words, path);
}

void ImportOVM::SayTextures() {
  for (const auto& [words, path] : textureLines_) GePrint(String(words) + ImportText(Shown(path)));
  textureLines_.clear();
}

#define CORVANE_TEXTURE_SETTER(Name, link, sw)                                             \
  Bool ImportOVM::Name(BaseContainer* data, const OrvaneTexture* tex, BaseMaterial* mat) { \
    if (!tex) return true;                                                                 \
    LoadTexture(mat, data, link, sw, tex->path);                                           \
    WriteMapping(data, link, tex);                                                         \
    return true;                                                                           \
  }

CORVANE_TEXTURE_SETTER(ImportDiffuseTexture, MAT_ALBEDO_SHADER, MAT_USE_ALBEDO)
CORVANE_TEXTURE_SETTER(ImportAbsorptionLayerTexture, MAT_ABSORPTION_LAYER_SHADER, MAT_USE_ABSORPTION_LAYER)
CORVANE_TEXTURE_SETTER(ImportEmissionMap, MAT_EMISSION_SHADER, MAT_USE_EMISSION)
CORVANE_TEXTURE_SETTER(ImportExponentMap, MAT_EXPONENT_SHADER, MAT_USE_EXPONENT)
CORVANE_TEXTURE_SETTER(ImportSigmaMap, MAT_SIGMA_SHADER, MAT_USE_SIGMA)
CORVANE_TEXTURE_SETTER(ImportBumpMap, MAT_BUMP_SHADER, MAT_USE_BUMP)
CORVANE_TEXTURE_SETTER(ImportDisplacementMap, MAT_DISPLACEMENT_SHADER, MAT_USE_DISPLACEMENT)
CORVANE_TEXTURE_SETTER(ImportBlendMap, MAT_ALPHA_SHADER, MAT_USE_ALPHA)
