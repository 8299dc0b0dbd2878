// Lights and primitives: their defaults, and the meshes the primitives stand for.
#include "primitives.h"

#include "c4d_tools.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace host {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Segment counts beyond this would only cost memory; the host's own limit is of the same order.
constexpr LONG kMaxSegments = 1000;

LONG Segments(const BaseContainer& bc, LONG id, LONG def, LONG min) {
  return std::clamp(bc.GetLong(id, def), min, kMaxSegments);
}

// A non-negative, finite size; anything else counts as 0.
Real Size(const BaseContainer& bc, LONG id, Real def) {
  Real v = bc.GetReal(id, def);
  return std::isfinite(v) && v > 0.0 ? v : 0.0;
}

// Points and polygons under construction. Every face is wound so that the right-handed cross
// product (b - a) x (c - a) points out of the solid.
struct MeshBuilder {
  std::vector<LVector> points;
  std::vector<CPolygon> polygons;

  LONG Point(const LVector& p) {
    points.push_back(p);
    return static_cast<LONG>(points.size()) - 1;
  }
  void Tri(LONG a, LONG b, LONG c) { polygons.emplace_back(a, b, c); }
  void Quad(LONG a, LONG b, LONG c, LONG d) { polygons.emplace_back(a, b, c, d); }

  // A ring of `n` points at height y and radius r around the up axis, starting on +X.
  LONG Ring(Real r, Real y, LONG n) {
    LONG first = static_cast<LONG>(points.size());
    for (LONG i = 0; i < n; ++i) {
      Real t = 2.0 * kPi * i / n;
      Point(LVector(r * std::cos(t), y, r * std::sin(t)));
    }
    return first;
  }
  // Quads between an upper ring and a lower one (as seen from outside), both of n points.
  void Band(LONG upper, LONG lower, LONG n) {
    for (LONG i = 0; i < n; ++i) {
      LONG j = (i + 1) % n;
      Quad(upper + i, upper + j, lower + j, lower + i);
    }
  }
  // A fan from `centre` to a ring; `up` makes it face the way the up axis points.
  void Fan(LONG centre, LONG ring, LONG n, bool up) {
    for (LONG i = 0; i < n; ++i) {
      LONG j = (i + 1) % n;
      if (up)
        Tri(centre, ring + j, ring + i);
      else
        Tri(centre, ring + i, ring + j);
    }
  }
};

void BuildSphere(const BaseContainer& bc, MeshBuilder& m) {
  Real r = Size(bc, PRIM_SPHERE_RAD, 100.0);
  LONG n = Segments(bc, PRIM_SPHERE_SUB, 24, 3);
  bool hemisphere = bc.GetLong(PRIM_SPHERE_TYPE) == PRIM_SPHERE_TYPE_HEMISPHERE;
  LONG bands = std::max<LONG>(2, n / 2);
  // Rings from the top down; a hemisphere ends with the equator and stays open below.
  LONG rings = hemisphere ? std::max<LONG>(1, bands / 2) : bands - 1;
  Real step = hemisphere ? (kPi / 2.0) / rings : kPi / bands;
  LONG top = m.Point(LVector(0, r, 0));
  LONG prev = -1;
  for (LONG k = 1; k <= rings; ++k) {
    Real phi = step * k;
    LONG ring = m.Ring(r * std::sin(phi), r * std::cos(phi), n);
    if (prev < 0)
      m.Fan(top, ring, n, true);
    else
      m.Band(prev, ring, n);
    prev = ring;
  }
  if (!hemisphere) m.Fan(m.Point(LVector(0, -r, 0)), prev, n, false);
}

void BuildCube(const BaseContainer& bc, MeshBuilder& m) {
  LVector len = bc.GetVector(PRIM_CUBE_LEN, LVector(200.0));
  auto half = [](Real v) { return std::isfinite(v) && v > 0.0 ? v / 2.0 : 0.0; };
  Real x = half(len.x), y = half(len.y), z = half(len.z);
  const LVector corners[8] = {{-x, -y, -z}, {-x, y, -z}, {x, -y, -z}, {x, y, -z},
                              {x, -y, z},   {x, y, z},   {-x, -y, z}, {-x, y, z}};
  for (const LVector& c : corners) m.Point(c);
  m.Quad(0, 1, 3, 2);  // -Z
  m.Quad(2, 3, 5, 4);  // +X
  m.Quad(4, 5, 7, 6);  // +Z
  m.Quad(6, 7, 1, 0);  // -X
  m.Quad(1, 7, 5, 3);  // +Y
  m.Quad(6, 0, 2, 4);  // -Y
}

void BuildDisc(const BaseContainer& bc, MeshBuilder& m) {
  Real outer = Size(bc, PRIM_DISC_ORAD, 100.0);
  Real inner = std::min(Size(bc, PRIM_DISC_IRAD, 0.0), outer);
  LONG rings = Segments(bc, PRIM_DISC_SUB, 1, 1), n = Segments(bc, PRIM_DISC_SEG, 36, 3);
  LONG prev = -1;
  LONG centre = -1;
  if (inner <= 0.0) centre = m.Point(LVector());
  for (LONG k = centre >= 0 ? 1 : 0; k <= rings; ++k) {
    LONG ring = m.Ring(inner + (outer - inner) * k / rings, 0.0, n);
    if (prev >= 0)
      m.Band(prev, ring, n);
    else if (centre >= 0)
      m.Fan(centre, ring, n, true);
    prev = ring;
  }
}

void BuildCylinder(const BaseContainer& bc, MeshBuilder& m) {
  Real r = Size(bc, PRIM_CYLINDER_RADIUS, 50.0), h = Size(bc, PRIM_CYLINDER_HEIGHT, 200.0);
  LONG hsub = Segments(bc, PRIM_CYLINDER_HSUB, 1, 1), n = Segments(bc, PRIM_CYLINDER_SEG, 36, 3);
  // Rings from the top down.
  std::vector<LONG> rings;
  for (LONG k = 0; k <= hsub; ++k) rings.push_back(m.Ring(r, h / 2.0 - h * k / hsub, n));
  for (LONG k = 0; k < hsub; ++k) m.Band(rings[k], rings[k + 1], n);
  if (bc.GetBool(PRIM_CYLINDER_CAPS, true)) {
    m.Fan(m.Point(LVector(0, h / 2.0, 0)), rings.front(), n, true);
    m.Fan(m.Point(LVector(0, -h / 2.0, 0)), rings.back(), n, false);
  }
}

// Turns the natural up axis +Y to face `axis`; every turn is a proper rotation, so faces keep
// pointing outwards.
LVector Orient(const LVector& p, LONG axis) {
  switch (axis) {
    case PRIM_AXIS_XP: return LVector(p.y, -p.x, p.z);
    case PRIM_AXIS_XN: return LVector(-p.y, p.x, p.z);
    case PRIM_AXIS_YN: return LVector(p.x, -p.y, -p.z);
    case PRIM_AXIS_ZP: return LVector(p.x, -p.z, p.y);
    case PRIM_AXIS_ZN: return LVector(p.x, p.z, -p.y);
    default: return p;
  }
}

}  // namespace

bool IsPrimitiveType(LONG type) {
  switch (type) {
    case Osphere:
    case Ocube:
    case Odisc:
    case Oplane:
    case Ocylinder: return true;
    default: return false;
  }
}

bool IsParametricObjectType(LONG type) { return type == Olight || IsPrimitiveType(type); }

void InitParametricObject(BaseObject* op) {
  if (!op) return;
  BaseContainer* bc = op->GetDataInstance();
  switch (op->GetType()) {
    case Olight:
      bc->SetVector(LIGHT_COLOR, LVector(1.0));
      bc->SetReal(LIGHT_BRIGHTNESS, 1.0);
      bc->SetLong(LIGHT_TYPE, LIGHT_TYPE_OMNI);
      bc->SetReal(LIGHT_AREADETAILS_SIZEX, 200.0);
      bc->SetReal(LIGHT_AREADETAILS_SIZEY, 200.0);
      bc->SetReal(LIGHT_AREADETAILS_SIZEZ, 200.0);
      bc->SetLong(LIGHT_AREADETAILS_SHAPE, LIGHT_AREADETAILS_SHAPE_RECTANGLE);
      return;
    case Osphere:
      bc->SetReal(PRIM_SPHERE_RAD, 100.0);
      bc->SetLong(PRIM_SPHERE_SUB, 24);
      bc->SetLong(PRIM_SPHERE_TYPE, PRIM_SPHERE_TYPE_STANDARD);
      break;
    case Ocube: bc->SetVector(PRIM_CUBE_LEN, LVector(200.0)); break;
    case Odisc:
      bc->SetReal(PRIM_DISC_IRAD, 0.0);
      bc->SetReal(PRIM_DISC_ORAD, 100.0);
      bc->SetLong(PRIM_DISC_SUB, 1);
      bc->SetLong(PRIM_DISC_SEG, 36);
      break;
    case Oplane:
      bc->SetReal(PRIM_PLANE_WIDTH, 400.0);
      bc->SetReal(PRIM_PLANE_HEIGHT, 400.0);
      bc->SetLong(PRIM_PLANE_SUBW, 20);
      bc->SetLong(PRIM_PLANE_SUBH, 20);
      break;
    case Ocylinder:
      bc->SetReal(PRIM_CYLINDER_RADIUS, 50.0);
      bc->SetReal(PRIM_CYLINDER_HEIGHT, 200.0);
      bc->SetLong(PRIM_CYLINDER_HSUB, 1);
      bc->SetLong(PRIM_CYLINDER_SEG, 36);
      bc->SetBool(PRIM_CYLINDER_CAPS, true);
      break;
    default: return;
  }
  bc->SetLong(PRIM_AXIS, PRIM_AXIS_YP);
}

void OrientPrimitive(PolygonObject* mesh, LONG axis) {
  LVector* points = mesh ? mesh->GetPointW() : nullptr;
  if (!points) return;
  for (LONG i = 0; i < mesh->GetPointCount(); ++i) points[i] = Orient(points[i], axis);
}

PolygonObject* GeneratePrimitiveMesh(const BaseObject* op) {
  if (!op || !IsPrimitiveType(op->GetType())) return nullptr;
  const BaseContainer& bc = *op->GetDataInstance();
  // The plane comes with its texture coordinates.
  if (op->GetType() == Oplane) {
    BaseObject* plane = GeneratePrimitive(op->GetDocument(), Oplane, bc, 1.0, false, nullptr);
    if (plane) plane->SetName(String());
    return static_cast<PolygonObject*>(plane);
  }
  MeshBuilder m;
  switch (op->GetType()) {
    case Osphere: BuildSphere(bc, m); break;
    case Ocube: BuildCube(bc, m); break;
    case Odisc: BuildDisc(bc, m); break;
    case Ocylinder: BuildCylinder(bc, m); break;
  }
  PolygonObject* mesh =
      PolygonObject::Alloc(static_cast<LONG>(m.points.size()), static_cast<LONG>(m.polygons.size()));
  if (!mesh) return nullptr;
  std::copy(m.points.begin(), m.points.end(), mesh->GetPointW());
  std::copy(m.polygons.begin(), m.polygons.end(), mesh->GetPolygonW());
  OrientPrimitive(mesh, bc.GetLong(PRIM_AXIS, PRIM_AXIS_YP));
  return mesh;
}

}  // namespace host
