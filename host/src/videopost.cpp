// Render buffers and renders.
#include "c4d_videopost.h"

#include <algorithm>
#include <cstring>

VPBuffer::VPBuffer(LONG width, LONG height, LONG channels, LONG bitdepth, Bool visible)
    : width_(std::max<LONG>(width, 0)),
      height_(std::max<LONG>(height, 0)),
      channels_(std::max<LONG>(channels, 0)),
      bitdepth_(bitdepth),
      visible_(visible),
      pixels_(static_cast<size_t>(width_) * height_ * channels_, 0) {}

VLONG VPBuffer::GetInfo(LONG type) const {
  switch (type) {
    case VPGETINFO_XRESOLUTION: return width_;
    case VPGETINFO_YRESOLUTION: return height_;
    case VPGETINFO_BITDEPTH: return bitdepth_;
    case VPGETINFO_CPP: return channels_;
    case VPGETINFO_VISIBLE: return visible_ ? 1 : 0;
    default: return 0;
  }
}

bool VPBuffer::Inside(LONG x, LONG y, LONG cnt, LONG bitdepth) const {
  // Only 8-bit rows are exchanged; the buffer keeps 8 bits per channel.
  if (bitdepth != 8 || bitdepth_ != 8) return false;
  if (x < 0 || y < 0 || cnt < 0 || y >= height_) return false;
  return static_cast<long long>(x) + cnt <= width_;
}

Bool VPBuffer::SetLine(LONG x, LONG y, LONG cnt, const void* data, LONG bitdepth, Bool /*dithering*/) {
  if (!data || !Inside(x, y, cnt, bitdepth)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  size_t offset = (static_cast<size_t>(y) * width_ + x) * channels_;
  std::memcpy(pixels_.data() + offset, data, static_cast<size_t>(cnt) * channels_);
  return true;
}

Bool VPBuffer::GetLine(LONG x, LONG y, LONG cnt, void* data, LONG bitdepth, Bool /*dithering*/) const {
  if (!data || !Inside(x, y, cnt, bitdepth)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  size_t offset = (static_cast<size_t>(y) * width_ + x) * channels_;
  std::memcpy(data, pixels_.data() + offset, static_cast<size_t>(cnt) * channels_);
  return true;
}

Render::Render(LONG width, LONG height, LONG channels) : width_(width), height_(height) {
  buffers_[{VPBUFFER_RGBA, 0}] = std::make_unique<VPBuffer>(width, height, channels, 8, true);
}

VPBuffer* Render::GetBuffer(LONG id, LONG subid) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find({id, subid});
  return it == buffers_.end() ? nullptr : it->second.get();
}

Bool Render::AllocateBuffer(LONG id, LONG subid, LONG bitdepth, Bool visible) {
  if (bitdepth != 8) return false;  // the stand-in keeps 8-bit buffers only
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find({id, subid});
  if (it != buffers_.end()) return it->second->GetInfo(VPGETINFO_BITDEPTH) == bitdepth;
  buffers_[{id, subid}] = std::make_unique<VPBuffer>(width_, height_, 4, bitdepth, visible);
  return true;
}
