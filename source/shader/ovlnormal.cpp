#include "shader/ovlnormal.h"

Bool RegisterOVLnormal() {
  return RegisterShaderPlugin(1000008, "OVL Normal", 0, OVLnormal::Alloc, "xovlnormal", 0);
}
