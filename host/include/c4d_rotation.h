// Rotations of matrices as an axis and an angle.
#pragma once

#include "c4d_vector.h"

/// The rotation of `m` as a unit axis and an angle in radians from 0 to pi. Angles turn by the
/// left-hand rule of the host's coordinate system: a positive angle about +Y turns +X towards +Z.
/// The axes of `m` are normalised first, so its scale does not count; a mirroring matrix is read
/// with its third axis reversed. Without rotation the axis is (0, 0, 1) and the angle 0.
void MatrixToRotAxis(const LMatrix& m, LVector* axis, Real* angle);
/// The rotation matrix of `angle` radians about `axis` (any length but zero; the zero axis gives
/// the identity), with a zero offset; the inverse of `MatrixToRotAxis` for rotations.
LMatrix RotAxisToMatrix(const LVector& axis, Real angle);
