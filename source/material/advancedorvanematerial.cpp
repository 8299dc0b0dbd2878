#include "material/advancedorvanematerial.h"

Bool RegisterAdvancedOrvaneMaterial() {
  return RegisterShaderPlugin(1025501, GeLoadString(10021), PLUGINFLAG_HIDEPLUGINMENU,
                              AdvancedOrvaneMaterial::Alloc, "xorvanematshader", 0);
}
