#include "tag/myexitportal.h"

Bool RegisterMyExitPortal() {
  String name = GeLoadString(10006);
  if (!name.Content()) return true;
  return RegisterTagPlugin(1021223, name, TAG_VISIBLE, MyExitPortal::Alloc, "TMyExitPortal", AutoBitmap("ExitPortal.tif"), 0);
}
