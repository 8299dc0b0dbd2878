// A render as a video post sees it: the phases the host calls it in, the render with its
// buffers, and the render thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "c4d_types.h"

class BaseDocument;
class BaseThread;

/// Phases of a render in which the host calls `VideoPostData::Execute`, outermost first. Each
/// phase is opened and, after the phases inside it, closed again.
enum {
  VIDEOPOSTCALL_FRAMESEQUENCE = 1,  ///< The whole range of frames.
  VIDEOPOSTCALL_FRAME = 2,          ///< One frame.
  VIDEOPOSTCALL_SUBFRAME = 3,       ///< One sub-frame (motion blur pass) of a frame.
  VIDEOPOSTCALL_RENDER = 4,         ///< The host's rendering of the sub-frame.
  VIDEOPOSTCALL_INNER = 5,          ///< Inside the rendering, before the image is sampled.
};

/// Render buffer IDs.
enum {
  VPBUFFER_RGBA = 1,  ///< The render's colour image (red, green, blue, alpha).
};

/// What `VPBuffer::GetInfo` reports.
enum {
  VPGETINFO_XRESOLUTION = 0,  ///< Width in pixels.
  VPGETINFO_YRESOLUTION = 1,  ///< Height in pixels.
  VPGETINFO_BITDEPTH = 2,     ///< Bits per channel.
  VPGETINFO_CPP = 3,          ///< Channels per pixel.
  VPGETINFO_VISIBLE = 4,      ///< 1 when the user sees the buffer.
};

/// One image buffer of a render: rows of pixels with a fixed number of 8-bit channels each.
/// Thread-safe: render threads write rows while the host may read them.
class VPBuffer {
 public:
  /// A black buffer of `width` × `height` pixels with `channels` channels each.
  VPBuffer(LONG width, LONG height, LONG channels, LONG bitdepth, Bool visible);
  VPBuffer(const VPBuffer&) = delete;
  VPBuffer& operator=(const VPBuffer&) = delete;

  /// A property of the buffer (`VPGETINFO_*`); 0 for an unknown one.
  VLONG GetInfo(LONG type) const;
  LONG GetBw() const { return width_; }
  LONG GetBh() const { return height_; }
  /// Writes `cnt` pixels of `data` (channels per pixel bytes each, `bitdepth` 8) into row `y`
  /// from column `x`. Refuses (false, nothing written) what does not lie inside the buffer.
  Bool SetLine(LONG x, LONG y, LONG cnt, const void* data, LONG bitdepth, Bool dithering);
  /// Reads `cnt` pixels of row `y` from column `x` into `data`; false when outside the buffer.
  Bool GetLine(LONG x, LONG y, LONG cnt, void* data, LONG bitdepth, Bool dithering) const;

 private:
  bool Inside(LONG x, LONG y, LONG cnt, LONG bitdepth) const;
  LONG width_, height_, channels_, bitdepth_;
  Bool visible_;
  mutable std::mutex mutex_;
  std::vector<UCHAR> pixels_;
};

/// A render of a document: its frame size and its buffers.
class Render {
 public:
  /// A render of `width` × `height` pixels with its colour buffer of `channels` channels.
  Render(LONG width, LONG height, LONG channels = 4);
  Render(const Render&) = delete;
  Render& operator=(const Render&) = delete;

  /// The buffer `id`/`subid`, or null when the render has none.
  VPBuffer* GetBuffer(LONG id, LONG subid);
  /// Asks for a buffer of the frame's size; true when the render has it afterwards. An existing
  /// buffer of that ID and depth is answered as given.
  Bool AllocateBuffer(LONG id, LONG subid, LONG bitdepth, Bool visible);
  LONG GetWidth() const { return width_; }
  LONG GetHeight() const { return height_; }

 private:
  LONG width_, height_;
  std::mutex mutex_;
  std::map<std::pair<LONG, LONG>, std::unique_ptr<VPBuffer>> buffers_;
};

/// What the host hands a video post in each phase.
struct VideoPostStruct {
  LONG vp = 0;                   ///< The phase (`VIDEOPOSTCALL_*`).
  Bool open = FALSE;             ///< True when the phase opens, false when it closes.
  BaseDocument* doc = nullptr;   ///< The document being rendered.
  Render* render = nullptr;      ///< The render with its buffers.
  BaseThread* thread = nullptr;  ///< The render thread; test it for the user's break.
};
