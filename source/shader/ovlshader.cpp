#include "shader/ovlshader.h"

#include <algorithm>
#include <cmath>

#include "shader/ovlshaderdata.h"

namespace {

// An 8-bit channel value as a colour component.
constexpr double kByteToUnit = 1.0 / 255.0;

// A new image with the pixels of `src`, or null.
MultipassBitmap* CopyImage(const MultipassBitmap* src) {
  MultipassBitmap* copy = src ? MultipassBitmap::Alloc(src->GetBw(), src->GetBh()) : nullptr;
  if (!copy) return nullptr;
  for (LONG y = 0; y < src->GetBh(); ++y)
    for (LONG x = 0; x < src->GetBw(); ++x) {
      LONG r, g, b;
      src->GetPixel(x, y, &r, &g, &b);
      copy->SetPixel(x, y, r, g, b);
    }
  return copy;
}

}  // namespace

OVLData::~OVLData() { MultipassBitmap::Free(image_); }

Bool OVLData::Init(GeListNode*) {
  SetImage(nullptr);
  return true;
}

Bool OVLData::CopyTo(NodeData* dest, GeListNode* snode, GeListNode* dnode, LONG flags) {
  OVLData* other = dynamic_cast<OVLData*>(dest);
  if (image_ && other) other->SetImage(CopyImage(image_));
  return ShaderData::CopyTo(dest, snode, dnode, flags);
}

Bool OVLData::GetDDescription(GeListNode*, Description* description, LONG& flags) {
  if (!description || !description->LoadDescription(ID_OVLSHADER)) return false;
  flags |= DESCFLAGS_DESC_LOADED;
  return true;
}

LONG OVLData::PixelIndex(double coord, LONG size) {
  if (size <= 0) return 0;
  double f = coord - std::floor(coord);  // 0 <= f < 1 for every finite coordinate
  if (!(f >= 0.0 && f < 1.0)) f = 0.0;   // not finite, or rounded up to 1
  return std::min(size - 1, static_cast<LONG>(f * size));
}

LVector OVLData::Output(BaseShader*, ChannelData* cd) {
  if (!image_ || !cd) return LVector(1.0, 1.0, 1.0);
  LONG r, g, b;
  image_->GetPixel(PixelIndex(cd->p.x, image_->GetBw()), PixelIndex(cd->p.y, image_->GetBh()), &r, &g, &b);
  return LVector(r * kByteToUnit, g * kByteToUnit, b * kByteToUnit);
}

void OVLData::SetImage(MultipassBitmap* image) {
  if (image == image_) return;
  MultipassBitmap::Free(image_);
  image_ = image;
}

Bool RegisterOVL() {
  return RegisterShaderPlugin(ID_OVLSHADER, GeLoadString(10019), 0, OVLData::Alloc, "xcorvaneovlshader", 0);
}
