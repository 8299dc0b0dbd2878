#include "shader/ovlblend.h"

Bool RegisterOVLblend() {
  return RegisterShaderPlugin(1024769, "OVL Blend", 0, OVLblend::Alloc, "xovlblend", 0);
}
