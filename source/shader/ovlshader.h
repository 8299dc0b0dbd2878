// The OVL code shader: carries a whole OVL program typed by the user and up to three images that
// the program refers to by texture index. The material writer embeds the program; inside the host
// the shader has no formula of its own.
#pragma once

#include "c4d.h"

/// Parameters of the code shader (no defaults are written).
enum {
  OVL_TEXTURE1 = 1400,  ///< Filename: image whose texture index replaces "$tex01$".
  OVL_TEXTURE2 = 1401,  ///< Filename: image whose texture index replaces "$tex02$".
  OVL_TEXTURE3 = 1402,  ///< Filename: image whose texture index replaces "$tex03$".
  OVL_CODE = 1405,      ///< String: the OVL program, used whole.
};

/// A shader that carries OVL code typed by the user.
class OVLData : public ShaderData {
 public:
  ~OVLData() override;
  /// A new shader's data for the host.
  static NodeData* Alloc() { return new OVLData; }

  /// Empties the image; true.
  Bool Init(GeListNode* node) override;
  /// Gives the copy's data a copy of this shader's image, then the host's copy.
  Bool CopyTo(NodeData* dest, GeListNode* snode, GeListNode* dnode, LONG flags) override;
  /// Loads the shader's description resource; false when it cannot be read.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// White without an image; else the image's pixel under the texture coordinate, the image
  /// repeating in u and v.
  LVector Output(BaseShader* sh, ChannelData* cd) override;

  /// Replaces the image the shader samples (the shader owns it; null empties it).
  void SetImage(MultipassBitmap* image);
  /// The image the shader samples, or null.
  const MultipassBitmap* GetImage() const { return image_; }

  /// The pixel column (or row) under texture coordinate `coord` of an image `size` pixels wide:
  /// the coordinate's place inside its unit period, always inside 0 .. size - 1.
  static LONG PixelIndex(double coord, LONG size);

 private:
  MultipassBitmap* image_ = nullptr;
};

/// Registers the shader under the name of string resource 10019; answers the host's result.
Bool RegisterOVL();
