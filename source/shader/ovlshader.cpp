#include "shader/ovlshader.h"

Bool RegisterOVL() {
  return RegisterShaderPlugin(1023863, GeLoadString(10019), 0, OVLData::Alloc, "xcorvaneovlshader", 0);
}
