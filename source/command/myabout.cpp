#include "command/myabout.h"

Bool RegisterMyAbout() {
  String name = GeLoadString(10005);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1020894, name, 0, AutoBitmap("About.tif"), "About", new ShowAbout);
}
