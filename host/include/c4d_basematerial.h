// Materials and shaders.
#pragma once

#include "c4d_baselist.h"

struct ChannelData;
struct InitRenderStruct;

/// Host material types.
enum {
  Mmaterial = 5703,  ///< The host's standard material.
};

/// Channels of the standard material, by the host's channel numbers (`Material::GetChannelState`).
enum {
  CHANNEL_COLOR = 0,
  CHANNEL_LUMINANCE = 1,
  CHANNEL_TRANSPARENCY = 2,
  CHANNEL_REFLECTION = 3,
  CHANNEL_BUMP = 6,
  CHANNEL_ALPHA = 7,
  CHANNEL_SPECULAR = 8,
  CHANNEL_SPECULARCOLOR = 9,
  CHANNEL_DISPLACEMENT = 11,
};

/// Parameters of the standard material. A new standard material holds every one of them at the
/// default given here, except the shader links, which it holds empty.
enum {
  /// Bool switches of the channels: `MATERIAL_USE_BASE` plus the channel number (colour and
  /// specular on, the others off).
  MATERIAL_USE_BASE = 3000,
  MATERIAL_USE_COLOR = MATERIAL_USE_BASE + CHANNEL_COLOR,
  MATERIAL_USE_LUMINANCE = MATERIAL_USE_BASE + CHANNEL_LUMINANCE,
  MATERIAL_USE_TRANSPARENCY = MATERIAL_USE_BASE + CHANNEL_TRANSPARENCY,
  MATERIAL_USE_REFLECTION = MATERIAL_USE_BASE + CHANNEL_REFLECTION,
  MATERIAL_USE_BUMP = MATERIAL_USE_BASE + CHANNEL_BUMP,
  MATERIAL_USE_ALPHA = MATERIAL_USE_BASE + CHANNEL_ALPHA,
  MATERIAL_USE_SPECULAR = MATERIAL_USE_BASE + CHANNEL_SPECULAR,
  MATERIAL_USE_SPECULARCOLOR = MATERIAL_USE_BASE + CHANNEL_SPECULARCOLOR,
  MATERIAL_USE_DISPLACEMENT = MATERIAL_USE_BASE + CHANNEL_DISPLACEMENT,

  MATERIAL_COLOR_COLOR = 2100,              ///< LVector, the colour (0.8 grey).
  MATERIAL_COLOR_BRIGHTNESS = 2101,         ///< Real, multiplies the colour (1.0).
  MATERIAL_LUMINANCE_COLOR = 2300,          ///< LVector (1, 1, 1).
  MATERIAL_LUMINANCE_BRIGHTNESS = 2301,     ///< Real (1.0).
  MATERIAL_TRANSPARENCY_COLOR = 2400,       ///< LVector (1, 1, 1).
  MATERIAL_TRANSPARENCY_BRIGHTNESS = 2401,  ///< Real (1.0).
  MATERIAL_TRANSPARENCY_REFRACTION = 1005,  ///< Real, index of refraction (1.0).
  MATERIAL_TRANSPARENCY_BLURRINESS = 8020,  ///< Real, 0 to 1 (0.0).
  MATERIAL_REFLECTION_BRIGHTNESS = 2501,    ///< Real (1.0).
  MATERIAL_REFLECTION_BLURRINESS = 8021,    ///< Real, 0 to 1 (0.0).
  MATERIAL_SPECULAR_WIDTH = 1016,           ///< Real, 0 to 1 (0.5).
  MATERIAL_SPECULAR_HEIGHT = 1017,          ///< Real, 0 to 1 (0.5).
  MATERIAL_ILLUMINATION_MODEL = 1134,       ///< LONG, `MATERIAL_ILLUMINATION_*` (Phong).
  MATERIAL_BUMP_STRENGTH = 1009,            ///< Real, 1.0 is full strength (1.0).
  MATERIAL_DISPLACEMENT_HEIGHT = 1025,      ///< Real, in host units (1.0).
  MATERIAL_ALPHA_INVERT = 1014,             ///< Bool, the alpha shader's values inverted (FALSE).

  MATERIAL_COLOR_SHADER = 8000,          ///< Link to the colour channel's shader (a child shader).
  MATERIAL_LUMINANCE_SHADER = 8002,      ///< Link to the luminance channel's shader.
  MATERIAL_BUMP_SHADER = 8006,           ///< Link to the bump channel's shader.
  MATERIAL_ALPHA_SHADER = 8007,          ///< Link to the alpha channel's shader.
  MATERIAL_SPECULARCOLOR_SHADER = 8008,  ///< Link to the specular colour channel's shader.
  MATERIAL_DISPLACEMENT_SHADER = 8009,   ///< Link to the displacement channel's shader.
};

/// Values of `MATERIAL_ILLUMINATION_MODEL`.
enum {
  MATERIAL_ILLUMINATION_PHONG = 0,
  MATERIAL_ILLUMINATION_BLINN = 1,
  MATERIAL_ILLUMINATION_ORENNAYAR = 2,
};

/// Host shader types.
enum {
  Xbitmap = 5833,  ///< An image file.
};

/// Parameters of the bitmap shader.
enum {
  BITMAPSHADER_FILENAME = 1000,  ///< Filename of the image.
};

/// A material of a document.
class BaseMaterial : public BaseList2D {
 public:
  /// A new material of a host or registered plug-in type, or null for an unknown type.
  static BaseMaterial* Alloc(LONG type);
  static void Free(BaseMaterial*& mat);
  BaseMaterial* GetNext() const { return static_cast<BaseMaterial*>(GeListNode::GetNext()); }
  BaseMaterial* GetPred() const { return static_cast<BaseMaterial*>(GeListNode::GetPred()); }
  Bool IsInstanceOf(LONG id) const override { return id == Mbase || C4DAtom::IsInstanceOf(id); }
  /// Tells the material its data changed: it sends itself `MSG_UPDATE` (7); the stand-in keeps no
  /// previews to rebuild.
  void Update(Bool preview, Bool rttm) {
    (void)preview;
    (void)rttm;
    Message(7);
  }

 protected:
  explicit BaseMaterial(LONG type) : BaseList2D(type) {}
};

/// The host's standard material (type `Mmaterial`): what `BaseMaterial::Alloc(Mmaterial)` makes.
class Material : public BaseMaterial {
 public:
  /// Whether the channel numbered `channel` (`CHANNEL_*`) is on: its `MATERIAL_USE_BASE` entry,
  /// or, without one, the host's default (colour and specular on). False for other numbers.
  Bool GetChannelState(LONG channel) const;
  /// Switches the channel numbered `channel` on or off.
  void SetChannelState(LONG channel, Bool on);

 protected:
  explicit Material(LONG type) : BaseMaterial(type) {}
};

/// The message that asks a material to put the host's initial shader into a channel's link.
constexpr LONG MSG_INITIAL_CHANNEL = 1001073;

/// On `MSG_INITIAL_CHANNEL`, puts the host's initial shader for a new channel into the link `id`
/// of `node`; other messages are ignored. The stand-in has no initial shaders, so the link stays
/// as it is. True when the message was handled.
Bool HandleInitialChannel(GeListNode* node, LONG id, LONG type, void* data);
/// Passes the message `type` with `data` on to the shader `shader` of `node` (nothing for a null
/// shader).
void HandleShaderMessage(GeListNode* node, BaseShader* shader, LONG type, void* data);

/// A shader (a texture function inside a material).
class BaseShader : public BaseList2D {
 public:
  /// A new shader of a registered plug-in type, or null for an unknown type.
  static BaseShader* Alloc(LONG type);
  static void Free(BaseShader*& sh);
  BaseShader* GetNext() const { return static_cast<BaseShader*>(GeListNode::GetNext()); }
  BaseShader* GetDown() const { return static_cast<BaseShader*>(GeListNode::GetDown()); }
  Bool IsInstanceOf(LONG id) const override { return id == Xbase || C4DAtom::IsInstanceOf(id); }
  /// Prepares the shader for sampling (`ShaderData::InitRender`); answers an `INITRENDERRESULT`.
  LONG InitRender(InitRenderStruct* irs);
  /// The shader's colour at `cd` (`ShaderData::Output`); black for a shader without plug-in data.
  LVector Sample(ChannelData* cd);
  /// Ends sampling (`ShaderData::FreeRender`).
  void FreeRender();

 protected:
  explicit BaseShader(LONG type) : BaseList2D(type) {}
};
