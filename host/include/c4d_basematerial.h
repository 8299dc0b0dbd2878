// Materials and shaders.
#pragma once

#include "c4d_baselist.h"

struct ChannelData;
struct InitRenderStruct;

/// Host material types.
enum {
  Mmaterial = 5703,  ///< The host's standard material.
};

/// Parameters of the standard material.
enum {
  MATERIAL_COLOR_COLOR = 2000,   ///< LVector, the colour channel's colour (absent: 0.8 grey).
  MATERIAL_COLOR_SHADER = 8000,  ///< Link to the colour channel's shader (a child shader).
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

 protected:
  explicit BaseMaterial(LONG type) : BaseList2D(type) {}
};

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
