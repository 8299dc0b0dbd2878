// The channel rule: how one channel of the plug-in material becomes XML.
#include "material/channelrule.h"

#include <tinyxml.h>
#include <unistd.h>

#include <cerrno>

#include "export/orvanescenedata.h"
#include "export/xmlbuilders.h"
#include "files/folder.h"
#include "main/helpers.h"
#include "material/customorvanematerial.h"

namespace MaterialChannels {

namespace {

TiXmlElement* Append(TiXmlElement* parent, const char* name) {
  auto* element = new TiXmlElement(name);
  parent->LinkEndChild(element);
  return element;
}

void WriteConstant(const ChannelInfo& info, const BaseContainer* data, TiXmlElement* channel) {
  switch (info.constant) {
    case ChannelConstant::kReal:
      SceneExportRealValue("constant", data->GetReal(info.valueId), channel);
      break;
    case ChannelConstant::kRgb:
      SceneExportSpectrumRGB(data->GetVector(info.valueId), data->GetReal(info.gammaId),
                             data->GetReal(info.brightnessId), Append(channel, "constant"));
      break;
    case ChannelConstant::kNone: break;
  }
}

// `info` with every parameter ID in the numbering of `material` (unused IDs stay 0).
ChannelInfo InNumbering(const ChannelInfo& info, const CustomOrvaneMaterial& material) {
  auto id = [&material](int v) { return v ? material.Id(v) : 0; };
  ChannelInfo s = info;
  s.useId = id(s.useId);
  s.linkId = id(s.linkId);
  s.valueId = id(s.valueId);
  s.brightnessId = id(s.brightnessId);
  s.gammaId = id(s.gammaId);
  s.texture = {id(s.texture.exponent), id(s.texture.a), id(s.texture.b), id(s.texture.c)};
  return s;
}

}  // namespace

TextureValues ReadTextureValues(const BaseContainer* data, const TextureValueIds& ids) {
  TextureValues v;
  v.exponent = data->GetReal(ids.exponent);
  v.a = data->GetReal(ids.a);
  v.b = data->GetReal(ids.b);
  v.c = data->GetReal(ids.c);
  return v;
}

BaseShader* LinkedShader(const BaseContainer* data, int linkId, BaseDocument* doc) {
  return static_cast<BaseShader*>(data->GetLink(linkId, doc, Xbase));
}

std::string BakeFileName(const String& name, int frame, const std::string& suffix) {
  const std::string utf8 = Helpers::ToUTF8String(name);
  std::string out;
  out.reserve(utf8.size() + suffix.size() + 12);
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '/' || c == '\\' || c < 0x20 || c == 0x7f) {
      out += '_';
    } else if (c == 0xc2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9f) {
      out += '_';  // a control character of U+0080 to U+009F
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "_" + std::to_string(frame) + suffix;
}

bool BakeChannelImage(CustomOrvaneMaterial& material, BaseShader* shader, const String& name,
                      const std::string& suffix, const char* label, BaseContainer* data, SAVEBIT flags,
                      std::string* path) {
  OrvaneSceneData* sd = material.sceneData;
  const Filename target = sd->texturesDir + Filename(String(BakeFileName(name, sd->frame, suffix)));
  if (material.BakeShader(shader, target, data, flags)) {
    *path = Helpers::ToUTF8String(target.GetString());
    return true;
  }
  // Once a folder of the export is refused (this one or another), no scene is saved and nothing
  // is baked: the scene's last line names the folder, the one reason given.
  if (sd->FolderRefusal().empty())
    GePrint(String("Could not bake the ") + String(label) + String(" channel of material ") + name);
  return false;
}

bool WriteBitmapTexture(CustomOrvaneMaterial& material, BaseShader* shader, const String& name,
                        const TextureValues& v, int background, TiXmlElement* parent) {
  OrvaneSceneData* sd = material.sceneData;
  const Filename file = shader->GetDataInstance()->GetFilename(BITMAPSHADER_FILENAME);
  bool found = true;
  const Filename located = Helpers::GetTexturePath(file, sd->document->GetDocumentPath(), &found);
  const std::string path = Helpers::ToUTF8String(located.GetString());
  const bool first = !HasChildWith(parent, "texture", "path", path);
  // One at a path no program could open is no texture the renderer could read: said, and the
  // scene that would name it is not saved.
  const bool fits = !first || sd->TextureFits(path, name);
  if (!found && file.Content() && first && fits)
    GePrint(String("Could not find the texture ") + located.GetString() + String(" of material ") + name +
            String("; it is written under the name it has"));
  if (found && first && fits) {
    // One that is there but cannot be read (its mode, a FIFO) is named too: the renderer reads it
    // as this user.
    int fd = -1;
    const files::Result read = files::OpenFile(path, &fd);
    if (read.ok())
      ::close(fd);
    else if (read.error() != ENOENT)
      GePrint(String("Could not read the texture ") + located.GetString() + String(" of material ") + name +
              String(": ") + String(read.Text()) + String("; it is written under the name it has"));
  }
  // The texture is searched for once: the definition takes the path found here.
  return ExportTexture(parent, path, v.exponent, v.a, v.b, v.c, sd->sceneDir, background) != 0;
}

void WriteChannel(CustomOrvaneMaterial& material, const ChannelInfo& plainSpec, const char* element,
                  const String& name, BaseContainer* data, TiXmlElement* parent) {
  const ChannelInfo info = InNumbering(plainSpec, material);
  OrvaneSceneData* sd = material.sceneData;
  if (!data || !parent || !sd || !sd->document) return;
  if (!data->GetBool(info.useId)) return;
  BaseShader* shader = LinkedShader(data, info.linkId, sd->document);
  if (!shader) {
    if (info.constant != ChannelConstant::kNone) WriteConstant(info, data, Append(parent, element));
    return;
  }
  TiXmlElement* channel = Append(parent, element);

  if (shader->IsInstanceOf(Xbitmap)) {
    if (WriteBitmapTexture(material, shader, name, ReadTextureValues(data, info.texture), 0, parent)) {
      ExportTextureIndex(channel, material.textureIndex);
      ++material.textureIndex;
    }
    return;
  }
  if (material.IsOVLShader(shader)) {
    material.ExportShader(parent, channel, shader, material.textureIndex, info.header, info.returnType, name);
    return;
  }
  std::string path;
  if (BakeChannelImage(material, shader, name, info.suffix, info.label, data, info.flags, &path)) {
    const TextureValues v = ReadTextureValues(data, info.texture);
    ExportTexture(parent, path, v.exponent, v.a, v.b, v.c, sd->sceneDir, 0);
    ExportTextureIndex(channel, material.textureIndex);
    ++material.textureIndex;
    return;
  }
  // A failed bake leaves no empty channel: the constant stands in, or the channel is dropped.
  if (info.constant != ChannelConstant::kNone)
    WriteConstant(info, data, channel);
  else
    parent->RemoveChild(channel);
}

}  // namespace MaterialChannels
