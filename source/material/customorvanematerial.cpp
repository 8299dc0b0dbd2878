#include "material/customorvanematerial.h"

Bool RegisterCustomOrvaneMaterial() {
  String name = GeLoadString(10025);
  if (!name.Content()) return true;
  return RegisterMaterialPlugin(ID_CUSTOMORVANEMATERIAL, name, 0x20000001, CustomOrvaneMaterial::Alloc,
                                "Morvanematerial", 0);
}
