#include "shader/ovlformat.h"

#include <cmath>

#include "main/helpers.h"

std::string OVLNumber(double value, int decimals) {
  // A value that rounds to zero is written without a sign ("0.00000", never "-0.00000").
  if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0.0;
  return Helpers::ToUTF8String(String::RealToString(value, -1, decimals));
}

std::string OVLColor(const LVector& colour) {
  return "vec3(" + OVLNumber(colour.x) + ", " + OVLNumber(colour.y) + ", " + OVLNumber(colour.z) + ")";
}
