#include "tag/mysubdivision.h"

Bool RegisterMySubdivision() {
  String name = GeLoadString(10016);
  if (!name.Content()) return true;
  return RegisterTagPlugin(1022667, name, TAG_VISIBLE, MySubdivision::Alloc, "tSubdivision", AutoBitmap("subdivtag.tif"), 0);
}
