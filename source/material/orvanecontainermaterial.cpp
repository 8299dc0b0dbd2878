#include "material/orvanecontainermaterial.h"

Bool RegisterOrvaneContainerMaterial() {
  return RegisterMaterialPlugin(1025500, GeLoadString(10021), 0x20000001, OrvaneContainerMaterial::Alloc,
                                "morvanecontainermaterial", 0);
}
