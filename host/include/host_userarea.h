// The host's side of user areas: laying them out and reading what they drew. Nothing here is
// part of the plug-in interface.
#pragma once

#include <vector>

#include "c4d_gui.h"

namespace host {

/// What a user area shows: its size and its pixels, three bytes (red, green, blue) per pixel, row
/// by row from the top.
struct AreaImage {
  LONG width = 0;
  LONG height = 0;
  std::vector<unsigned char> rgb;
  /// The pixel at `x`, `y` as 0xRRGGBB (0 outside).
  unsigned Pixel(LONG x, LONG y) const;
};

/// Gives `ua` a new size (telling it with `Sized`) and draws it.
void ResizeUserArea(GeUserArea* ua, LONG w, LONG h);
/// Draws `ua` over its whole size and answers what it shows.
AreaImage DrawUserArea(GeUserArea* ua);
/// The colour the host answers for an interface colour, as 0xRRGGBB (0 for unknown ones).
unsigned InterfaceColor(LONG colorid);

}  // namespace host
