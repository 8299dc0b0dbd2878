// Document animation (one matrix track per object, linear between keys) and axis-angle rotations.
#include <algorithm>
#include <cmath>

#include "c4d_basedocument.h"
#include "c4d_rotation.h"
#include "host_state.h"

namespace {

struct Quaternion {
  Real w = 1.0, x = 0.0, y = 0.0, z = 0.0;
};

// The matrix's axes scaled to unit length, mirroring removed; false when an axis is zero.
bool RotationPart(const LMatrix& m, LVector* a, LVector* b, LVector* c, LVector* scale) {
  const Real la = Len(m.v1), lb = Len(m.v2), lc = Len(m.v3);
  if (la == 0.0 || lb == 0.0 || lc == 0.0) return false;
  *a = m.v1 / la;
  *b = m.v2 / lb;
  *c = m.v3 / lc;
  Real mirror = (*a % *b) * *c < 0.0 ? -1.0 : 1.0;
  *c = *c * mirror;
  if (scale) *scale = LVector(la, lb, lc * mirror);
  return true;
}

// The quaternion of the rotation whose columns are a, b, c (a unit, right-handed frame).
Quaternion FromColumns(const LVector& a, const LVector& b, const LVector& c) {
  // Rotation matrix entries r[row][column]; the columns are the axes.
  const Real r00 = a.x, r10 = a.y, r20 = a.z;
  const Real r01 = b.x, r11 = b.y, r21 = b.z;
  const Real r02 = c.x, r12 = c.y, r22 = c.z;
  Quaternion q;
  const Real trace = r00 + r11 + r22;
  if (trace > 0.0) {
    Real s = std::sqrt(trace + 1.0) * 2.0;
    q.w = 0.25 * s;
    q.x = (r21 - r12) / s;
    q.y = (r02 - r20) / s;
    q.z = (r10 - r01) / s;
  } else if (r00 > r11 && r00 > r22) {
    Real s = std::sqrt(1.0 + r00 - r11 - r22) * 2.0;
    q.w = (r21 - r12) / s;
    q.x = 0.25 * s;
    q.y = (r01 + r10) / s;
    q.z = (r02 + r20) / s;
  } else if (r11 > r22) {
    Real s = std::sqrt(1.0 + r11 - r00 - r22) * 2.0;
    q.w = (r02 - r20) / s;
    q.x = (r01 + r10) / s;
    q.y = 0.25 * s;
    q.z = (r12 + r21) / s;
  } else {
    Real s = std::sqrt(1.0 + r22 - r00 - r11) * 2.0;
    q.w = (r10 - r01) / s;
    q.x = (r02 + r20) / s;
    q.y = (r12 + r21) / s;
    q.z = 0.25 * s;
  }
  Real n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  q.w /= n;
  q.x /= n;
  q.y /= n;
  q.z /= n;
  return q;
}

void ToColumns(const Quaternion& q, LVector* a, LVector* b, LVector* c) {
  const Real w = q.w, x = q.x, y = q.y, z = q.z;
  *a = LVector(1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y));
  *b = LVector(2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x));
  *c = LVector(2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y));
}

Quaternion Slerp(Quaternion a, Quaternion b, Real t) {
  Real dot = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
  if (dot < 0.0) {  // the short way round
    b = Quaternion{-b.w, -b.x, -b.y, -b.z};
    dot = -dot;
  }
  Real wa = 1.0 - t, wb = t;
  if (dot < 0.9995) {
    const Real theta = std::acos(std::min(dot, 1.0));
    const Real s = std::sin(theta);
    wa = std::sin((1.0 - t) * theta) / s;
    wb = std::sin(t * theta) / s;
  }
  Quaternion q{wa * a.w + wb * b.w, wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z};
  Real n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  return Quaternion{q.w / n, q.x / n, q.y / n, q.z / n};
}

LVector Lerp(const LVector& a, const LVector& b, Real t) { return a + (b - a) * t; }

// The matrix between two keys: the position and the axis lengths linear, the rotation along the
// shortest arc. Keys whose axes cannot be read as a rotation, or that differ in handedness, are
// blended entry by entry.
LMatrix Blend(const LMatrix& m0, const LMatrix& m1, Real t) {
  LVector a0, b0, c0, s0, a1, b1, c1, s1;
  if (RotationPart(m0, &a0, &b0, &c0, &s0) && RotationPart(m1, &a1, &b1, &c1, &s1) &&
      (s0.z < 0.0) == (s1.z < 0.0)) {
    LVector a, b, c;
    ToColumns(Slerp(FromColumns(a0, b0, c0), FromColumns(a1, b1, c1), t), &a, &b, &c);
    LVector s = Lerp(s0, s1, t);
    return LMatrix(Lerp(m0.off, m1.off, t), a * s.x, b * s.y, c * s.z);
  }
  return LMatrix(Lerp(m0.off, m1.off, t), Lerp(m0.v1, m1.v1, t), Lerp(m0.v2, m1.v2, t),
                 Lerp(m0.v3, m1.v3, t));
}

}  // namespace

void BaseObject::SetMatrixKeys(std::vector<MatrixKey> keys) {
  std::stable_sort(keys.begin(), keys.end(),
                   [](const MatrixKey& a, const MatrixKey& b) { return a.time.Get() < b.time.Get(); });
  // Of several keys at one time the last given wins.
  std::vector<MatrixKey> unique;
  for (const MatrixKey& k : keys) {
    if (!unique.empty() && unique.back().time.Get() == k.time.Get())
      unique.back() = k;
    else
      unique.push_back(k);
  }
  keys_ = std::move(unique);
}

void BaseDocument::AnimateObject(BaseList2D* node, const BaseTime& time, LONG /*flags*/) {
  if (!node || !node->IsInstanceOf(Obase)) return;
  BaseObject* op = static_cast<BaseObject*>(node);
  const std::vector<MatrixKey>& keys = op->GetMatrixKeys();
  if (keys.empty()) return;
  const Real t = time.Get();
  if (!std::isfinite(t)) return;
  if (t <= keys.front().time.Get()) {
    op->SetMl(keys.front().matrix);
    return;
  }
  if (t >= keys.back().time.Get()) {
    op->SetMl(keys.back().matrix);
    return;
  }
  auto next = std::upper_bound(keys.begin(), keys.end(), t,
                               [](Real v, const MatrixKey& k) { return v < k.time.Get(); });
  const MatrixKey& k1 = *next;
  const MatrixKey& k0 = *(next - 1);
  const Real span = k1.time.Get() - k0.time.Get();
  const Real s = span > 0.0 ? (t - k0.time.Get()) / span : 1.0;
  op->SetMl(s >= 1.0 ? k1.matrix : Blend(k0.matrix, k1.matrix, s));
}

namespace host {
void AnimateTree(BaseDocument* doc, BaseObject* first, const BaseTime& time) {
  for (BaseObject* op = first; op; op = op->GetNext()) {
    doc->AnimateObject(op, time, 0);
    AnimateTree(doc, op->GetDown(), time);
  }
}
}  // namespace host

void MatrixToRotAxis(const LMatrix& m, LVector* axis, Real* angle) {
  LVector a, b, c;
  Quaternion q;
  if (RotationPart(m, &a, &b, &c, nullptr)) q = FromColumns(a, b, c);
  if (q.w < 0.0) q = Quaternion{-q.w, -q.x, -q.y, -q.z};
  const Real s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  LVector ax(0.0, 0.0, 1.0);
  Real an = 0.0;
  if (s > 1e-12) {
    // The quaternion turns by the right-hand rule; the host's angles turn the other way.
    // (0 - x rather than -x: a zero component stays a positive zero.)
    ax = LVector(0.0 - q.x / s, 0.0 - q.y / s, 0.0 - q.z / s);
    an = 2.0 * std::atan2(s, q.w);
  }
  if (axis) *axis = ax;
  if (angle) *angle = an;
}

LMatrix RotAxisToMatrix(const LVector& axis, Real angle) {
  const Real l = Len(axis);
  if (l == 0.0) return LMatrix();
  const LVector n = axis / l;
  const Real h = -0.5 * angle, s = std::sin(h);
  LMatrix m;
  ToColumns(Quaternion{std::cos(h), n.x * s, n.y * s, n.z * s}, &m.v1, &m.v2, &m.v3);
  return m;
}
