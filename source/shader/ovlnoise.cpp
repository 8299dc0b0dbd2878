#include "shader/ovlnoise.h"

Bool RegisterOVLnoise() {
  return RegisterShaderPlugin(1024768, "OVL Noise", 0, OVLnoise::Alloc, "xovlnoise", 0);
}
