// What every channel writer of the plug-in material shares: finding the linked shader, reading
// the four texture values, and baking a host shader into the channel's JPEG image.
#pragma once

#include <string>

#include "c4d.h"
#include "shader/ovlshaderdata.h"

class CustomOrvaneMaterial;
class TiXmlElement;

namespace MaterialChannels {

/// The IDs of a channel's four texture values, in the order exponent, a, b, c.
struct TextureValueIds {
  int exponent, a, b, c;
};

/// A channel's texture values as read from the container (missing ones read as 0.0).
struct TextureValues {
  double exponent = 0.0, a = 0.0, b = 0.0, c = 0.0;
};

/// Reads the four texture values of `ids` from `data`.
TextureValues ReadTextureValues(const BaseContainer* data, const TextureValueIds& ids);

/// The shader in the link `linkId` resolved in `doc`; null for an empty link, a link that does not
/// resolve there, or a link to anything other than a shader.
BaseShader* LinkedShader(const BaseContainer* data, int linkId, BaseDocument* doc);

/// The file name of a baked channel image: `name` + "_" + `frame` + `suffix`, with "/", "\" and
/// control characters of the name (which would leave the textures folder or make an unusable
/// file name) replaced by "_".
std::string BakeFileName(const String& name, int frame, const std::string& suffix);

/// Bakes `shader` into the channel's JPEG image in the export's textures folder (name from
/// `BakeFileName`, `flags` 0 for colour or `SAVEBIT_GREYSCALE`). True with `*path` set to the
/// written file's full path in UTF-8; false after one console line that names the material and
/// the channel (`label`), or without a line once the export's folders are refused (the scene's
/// last line names the folder).
bool BakeChannelImage(CustomOrvaneMaterial& material, BaseShader* shader, const String& name,
                      const std::string& suffix, const char* label, BaseContainer* data, SAVEBIT flags,
                      std::string* path);

/// Appends to the model element `parent` the texture definition of the bitmap shader `shader`
/// (texture values `v`, the background's coordinate generation when `background` is set); true
/// when it was appended. An image that cannot be found is written under its name as stored, after
/// one console line that names it and the material, once per material element.
bool WriteBitmapTexture(CustomOrvaneMaterial& material, BaseShader* shader, const String& name,
                        const TextureValues& v, int background, TiXmlElement* parent);

/// What a channel holds when no shader is linked.
enum class ChannelConstant {
  kNone,  ///< Nothing: the channel element is written only for a linked shader.
  kReal,  ///< "constant" with the real `valueId`.
  kRgb,   ///< "constant" / "rgb": colour `valueId` times `brightnessId`, gamma `gammaId`.
};

/// One channel of the plug-in material, as its writer fills the channel rule.
struct ChannelInfo {
  const char* label;  ///< The channel's name in console lines.
  int useId;          ///< Bool switch.
  int linkId;         ///< Shader link.
  ChannelConstant constant;
  int valueId, brightnessId, gammaId;  ///< Parameters of the constant (unused ones 0).
  TextureValueIds texture;
  const char* suffix;  ///< Ends the baked image's file name.
  SAVEBIT flags;       ///< 0: colour image; `SAVEBIT_GREYSCALE`.
  const char* header;  ///< OVL evaluation header.
  OVLReturnType returnType;
};

/// Writes the channel `info` of the material into the model element `parent` as `element`: its
/// constant, a texture of its bitmap shader, its OVL program, or the image baked from any other
/// host shader. A failed bake writes the constant instead, or no channel element for a channel
/// without one. Nothing without container, model element or document, or with the switch off.
void WriteChannel(CustomOrvaneMaterial& material, const ChannelInfo& info, const char* element,
                  const String& name, BaseContainer* data, TiXmlElement* parent);

}  // namespace MaterialChannels
