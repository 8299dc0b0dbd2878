// Materials and shaders.
#pragma once

#include "c4d_baselist.h"

/// Host material types.
enum {
  Mmaterial = 5703,  ///< The host's standard material.
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

 protected:
  explicit BaseShader(LONG type) : BaseList2D(type) {}
};
