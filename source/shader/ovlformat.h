// Numbers and colours as the generated OVL shaders write them into their expressions.
#pragma once

#include <string>

#include "c4d.h"

/// `value` in fixed-point form with `decimals` places (five unless said otherwise), the integer
/// part at its natural width, '.' as the point whatever the locale: 1.0 -> "1.00000",
/// -2.25 -> "-2.25000"; a value that rounds to zero has no sign.
std::string OVLNumber(double value, int decimals = 5);
/// A colour or vector as "vec3(x, y, z)", each component an `OVLNumber`.
std::string OVLColor(const LVector& colour);
