// A plug-in material in a document with its export state set, for the channel writers' tests.
#pragma once

#include <tinyxml.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "c4d.h"
#include "export/orvanescenedata.h"
#include "material/customorvanematerial.h"
#include "support/host_fixture.h"
#include "support/image_files.h"
#include "support/xml_text.h"

namespace channeltest {

/// A shader type whose preparation always fails.
constexpr LONG kFailingShader = 1099301;

/// The channel elements' common texture definition text, for a path and texture values.
inline std::string TextureText(const std::string& path, const std::string& values) {
  return "texture{uv_set=default;path=" + path + ";" + values + "}";
}

/// The writers as one signature; the albedo's kind is bound.
typedef std::function<void(CustomOrvaneMaterial&, String, BaseContainer*, TiXmlElement*)> Writer;

/// One channel of the material: its writer, switch, link and baked-image suffix.
struct Channel {
  const char* label;
  Writer write;
  int use;
  int link;
  const char* suffix;
};

inline std::vector<Channel> AllChannels() {
  using M = CustomOrvaneMaterial;
  return {
      {"albedo",
       [](M& m, String n, BaseContainer* d, TiXmlElement* p) { m.MaterialExportAlbedo(n, d, 0, p); },
       MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, "_albedo.jpg"},
      {"phong albedo",
       [](M& m, String n, BaseContainer* d, TiXmlElement* p) { m.MaterialExportAlbedo(n, d, 1, p); },
       MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, "_albedo.jpg"},
      {"exponent", &M::MaterialExportExponent, MAT_USE_EXPONENT, MAT_EXPONENT_SHADER, "_exponent.jpg"},
      {"sigma", &M::MaterialExportSigma, MAT_USE_SIGMA, MAT_SIGMA_SHADER, "_sigma.jpg"},
      {"blend", &M::MaterialExportBlend, MAT_USE_ALPHA, MAT_ALPHA_SHADER, "_alpha.jpg"},
      {"bump", &M::MaterialExportBump, MAT_USE_BUMP, MAT_BUMP_SHADER, "_bump.jpg"},
      {"displacement", &M::MaterialExportDisplacement, MAT_USE_DISPLACEMENT, MAT_DISPLACEMENT_SHADER,
       "_displacement.jpg"},
      {"absorption layer", &M::MaterialExportAbsorptionLayer, MAT_USE_ABSORPTION_LAYER,
       MAT_ABSORPTION_LAYER_SHADER, "_absorption_layer.jpg"},
      {"emission", &M::MaterialExportEmission, MAT_USE_EMISSION, MAT_EMISSION_SHADER, "_emission.jpg"},
  };
}

/// A material of the plug-in type in a document saved in a temporary folder that holds the image
/// "wood.png"; its export writes to the folder's "textures.scene".
class ChannelTest : public HostTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  /// The parameters a new material exports with, as far as the channels read them.
  static void FillDefaults(BaseContainer* data);
  /// A new shader of `type` under the material, linked from `linkId` of `data`; a bitmap shader
  /// names "wood.png".
  BaseShader* Link(int linkId, LONG type);
  /// Runs `write` for the material "Mat" into a new model element; answers its flattened text.
  std::string Write(const Writer& write, const String& name = String("Mat"));
  /// All ".jpg" files under the temporary folder.
  std::vector<std::string> BakedFiles() const;

  TempDir dir;
  BaseDocument* doc = nullptr;
  BaseMaterial* mat = nullptr;
  CustomOrvaneMaterial* material = nullptr;
  OrvaneSceneData sd;
  BaseContainer data;
  TiXmlElement model{"diffuse"};
  std::string wood;      ///< Full path of "wood.png".
  std::string textures;  ///< Full path of the textures folder.
};

}  // namespace channeltest
