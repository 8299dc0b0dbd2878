#include "shader/ovlgradient.h"

Bool RegisterOVLgradient() {
  return RegisterShaderPlugin(1024770, "OVL Gradient", 0, OVLgradient::Alloc, "xovlgradient", 0);
}
