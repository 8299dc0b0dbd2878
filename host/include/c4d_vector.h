// Vectors, matrices and time values.
#pragma once

#include <cmath>

#include "c4d_types.h"

/// A vector of three doubles.
struct LVector {
  Real x = 0.0, y = 0.0, z = 0.0;

  LVector() = default;
  /// All three components set to `v`.
  explicit LVector(Real v) : x(v), y(v), z(v) {}
  LVector(Real ix, Real iy, Real iz) : x(ix), y(iy), z(iz) {}

  LVector operator+(const LVector& o) const { return {x + o.x, y + o.y, z + o.z}; }
  LVector operator-(const LVector& o) const { return {x - o.x, y - o.y, z - o.z}; }
  LVector operator-() const { return {-x, -y, -z}; }
  LVector operator*(Real s) const { return {x * s, y * s, z * s}; }
  LVector operator/(Real s) const { return {x / s, y / s, z / s}; }
  LVector& operator+=(const LVector& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  LVector& operator-=(const LVector& o) {
    x -= o.x;
    y -= o.y;
    z -= o.z;
    return *this;
  }
  LVector& operator*=(Real s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  /// Dot product.
  Real operator*(const LVector& o) const { return x * o.x + y * o.y + z * o.z; }
  /// Cross product.
  LVector operator%(const LVector& o) const {
    return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
  }
  /// Component-wise product.
  LVector operator^(const LVector& o) const { return {x * o.x, y * o.y, z * o.z}; }
  bool operator==(const LVector& o) const { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const LVector& o) const { return !(*this == o); }
};

inline LVector operator*(Real s, const LVector& v) { return v * s; }
/// Length of a vector.
inline Real Len(const LVector& v) { return std::sqrt(v * v); }
/// The vector scaled to length 1 (the zero vector stays zero).
inline LVector Normalize(const LVector& v) {
  Real l = Len(v);
  return l > 0.0 ? v / l : v;
}

typedef LVector Vector;  ///< The host computes every vector in double precision.

/// A vector of three floats, as the host hands out normals.
struct SVector {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

/// An affine matrix: `off` is the translation, `v1`, `v2`, `v3` the axes.
struct LMatrix {
  LVector off, v1{1, 0, 0}, v2{0, 1, 0}, v3{0, 0, 1};

  LMatrix() = default;
  LMatrix(const LVector& o, const LVector& a, const LVector& b, const LVector& c)
      : off(o), v1(a), v2(b), v3(c) {}

  /// Transforms a point.
  LVector operator*(const LVector& v) const { return off + v1 * v.x + v2 * v.y + v3 * v.z; }
  /// Concatenation: (a * b) * v == a * (b * v).
  LMatrix operator*(const LMatrix& m) const {
    return LMatrix(*this * m.off, TransformDir(m.v1), TransformDir(m.v2), TransformDir(m.v3));
  }
  /// Transforms a direction (no translation).
  LVector TransformDir(const LVector& v) const { return v1 * v.x + v2 * v.y + v3 * v.z; }
  /// Inverse of an affine matrix; a singular matrix gives the identity.
  LMatrix operator!() const;
  bool operator==(const LMatrix& o) const { return off == o.off && v1 == o.v1 && v2 == o.v2 && v3 == o.v3; }
  bool operator!=(const LMatrix& o) const { return !(*this == o); }
};

typedef LMatrix Matrix;

inline LMatrix LMatrix::operator!() const {
  Real det = v1 * (v2 % v3);
  if (det == 0.0) return LMatrix();
  Real inv = 1.0 / det;
  // Rows of the inverse 3x3 are the cross products of the columns.
  LVector r1 = (v2 % v3) * inv, r2 = (v3 % v1) * inv, r3 = (v1 % v2) * inv;
  LMatrix m(LVector(), LVector(r1.x, r2.x, r3.x), LVector(r1.y, r2.y, r3.y), LVector(r1.z, r2.z, r3.z));
  m.off = -m.TransformDir(off);
  return m;
}

/// A point in time as a fraction numerator / denominator of seconds.
class BaseTime {
 public:
  BaseTime() = default;
  /// Seconds as a real number.
  explicit BaseTime(Real seconds) : num_(seconds), den_(1.0) {}
  BaseTime(Real numerator, Real denominator) : num_(numerator), den_(denominator) {}
  /// The time in seconds.
  Real Get() const { return den_ != 0.0 ? num_ / den_ : 0.0; }
  Real GetNumerator() const { return num_; }
  Real GetDenominator() const { return den_; }
  /// The frame at the given frame rate, rounded down; beyond the LONG range the nearest LONG
  /// (0 for a time that is not a number).
  LONG GetFrame(Real fps) const {
    // A time counted in frames of this rate is read as counted: frames / fps * fps may round below.
    const Real frame = std::floor((den_ == fps ? num_ : Get() * fps) + 1e-9);
    if (std::isnan(frame)) return 0;
    if (frame <= static_cast<Real>(INT32_MIN)) return INT32_MIN;
    return frame >= static_cast<Real>(INT32_MAX) ? INT32_MAX : static_cast<LONG>(frame);
  }
  bool operator==(const BaseTime& o) const { return Get() == o.Get(); }
  bool operator!=(const BaseTime& o) const { return !(*this == o); }

 private:
  Real num_ = 0.0;
  Real den_ = 1.0;
};
