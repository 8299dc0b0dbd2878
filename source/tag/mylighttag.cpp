#include "tag/mylighttag.h"

Bool RegisterMyLightTag() {
  String name = GeLoadString(10002);
  if (!name.Content()) return true;
  return RegisterTagPlugin(1020892, name, TAG_VISIBLE, MyLightTag::Alloc, "tMyLightTag", AutoBitmap("LightTag.tif"), 0);
}
