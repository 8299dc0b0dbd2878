// The fixed OVL text put before every generated shader's expression, and the evaluation headers
// that open the function "eval" around that expression for the channels.
#pragma once

#include <cstddef>

/// Nine OVL function definitions, one per line, each line ending in a line feed; lines after the
/// first are indented by five tabs and three blanks. Exactly 648 bytes.
inline constexpr char OVLPrelude[] =
    "def Vec3ToReal(vec3 v) real : ((doti(v) + dotj(v) + dotk(v)) / 3.0)\n"
    "\t\t\t\t\t   def noise01(vec3 v) real : ((noise(v) + 1.0) * 0.5)\n"
    "\t\t\t\t\t   def noise01(vec2 v) real : ((noise(v) + 1.0) * 0.5)\n"
    "\t\t\t\t\t   def noise01(real r) real : ((noise(r) + 1.0) * 0.5)\n"
    "\t\t\t\t\t   def fbm01(vec3 v, int oc) real : ((fbm(v,oc) + 1.0) * 0.5)\n"
    "\t\t\t\t\t   def fbm01(vec2 v, int oc) real : ((fbm(v,oc) + 1.0) * 0.5)\n"
    "\t\t\t\t\t   def fbm01(real r, int oc) real : ((fbm(r,oc) + 1.0) * 0.5)\n"
    "\t\t\t\t\t   def mulCompVec2(vec2 a, vec2 b) vec2 : vec2(doti(a) * doti(b), dotj(a) * dotj(b))\n"
    "\t\t\t\t\t   def mulCompVec3(vec3 a, vec3 b) vec3 : vec3(doti(a) * doti(b), dotj(a) * dotj(b), "
    "dotk(a) * dotk(b))\n";

/// Length of `OVLPrelude` in bytes, without the terminating zero.
inline constexpr std::size_t kOVLPreludeLength = sizeof(OVLPrelude) - 1;
static_assert(kOVLPreludeLength == 648, "the OVL prelude has 648 bytes");

/// Evaluation header of the colour channels (albedo, emission, absorption layer); vec3 expression.
inline constexpr char OVL_HEADER_VEC3_POS[] = "def eval(vec3 pos) vec3: ";
/// Evaluation header of the exponent and sigma channels; real expression.
inline constexpr char OVL_HEADER_REAL_POS[] = "def eval(vec3 pos) real: ";
/// Evaluation header of the blend-factor, bump and displacement channels; real expression.
inline constexpr char OVL_HEADER_REAL[] = "def eval() real: ";
