#include "tag/animationtag.h"

Bool RegisterAnimationTag() {
  String name = GeLoadString(10015);
  if (!name.Content()) return true;
  return RegisterTagPlugin(1022560, name, TAG_VISIBLE, AnimationTag::Alloc, "TAnimationTag", AutoBitmap("animationtag.tif"), 0);
}
