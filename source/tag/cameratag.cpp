#include "tag/cameratag.h"

namespace {
OrvaneDLLWrapper* orvaneClass = nullptr;
}

Bool RegisterCameraTag(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  String name = GeLoadString(10009);
  if (!name.Content()) return true;
  return RegisterTagPlugin(1022083, name, TAG_VISIBLE, CameraTag::Alloc, "TCameraTag", AutoBitmap("CameraTag.tif"), 0);
}
