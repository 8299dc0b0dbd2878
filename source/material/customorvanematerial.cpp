#include "material/customorvanematerial.h"

Bool RegisterCustomOrvaneMaterial() {
  String name = GeLoadString(10025);
  if (!name.Content()) return true;
  return RegisterMaterialPlugin(1024337, name, 0x20000001, CustomOrvaneMaterial::Alloc, "Morvanematerial", 0);
}
