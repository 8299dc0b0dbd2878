// Lights and primitives: defaults, the meshes that make editable builds, bounding boxes.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "c4d.h"
#include "host_control.h"

namespace {

class PrimitivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    doc = BaseDocument::Alloc();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    host::ResetAll();
  }

  // Makes `op` editable inside the document; the polygon object that took its place.
  PolygonObject* MakeEditable(BaseObject* op) {
    doc->InsertObject(op, nullptr, nullptr);
    ModelingCommandData mcd;
    mcd.doc = doc;
    mcd.op = op;
    mcd.bc = op->GetDataInstance();
    mcd.flags = MODELINGCOMMANDFLAGS_CREATEUNDO;
    if (!SendModelingCommand(MCOMMAND_MAKEEDITABLE, mcd)) return nullptr;
    BaseObject* made = doc->GetFirstObject();
    return made && made->GetType() == Opolygon ? static_cast<PolygonObject*>(made) : nullptr;
  }

  BaseDocument* doc = nullptr;
};

// The face normal by the right-handed cross product of the first corners.
LVector Normal(const PolygonObject* op, const CPolygon& p) {
  const LVector* pt = op->GetPointR();
  return (pt[p.b] - pt[p.a]) % (pt[p.c] - pt[p.a]);
}

LVector Centroid(const PolygonObject* op, const CPolygon& p) {
  const LVector* pt = op->GetPointR();
  return p.c == p.d ? (pt[p.a] + pt[p.b] + pt[p.c]) / 3.0 : (pt[p.a] + pt[p.b] + pt[p.c] + pt[p.d]) / 4.0;
}

void ExpectNear(const LVector& a, const LVector& b) {
  EXPECT_NEAR(a.x, b.x, 1e-9);
  EXPECT_NEAR(a.y, b.y, 1e-9);
  EXPECT_NEAR(a.z, b.z, 1e-9);
}

using Params = std::vector<std::pair<LONG, GeData>>;

struct Shape {
  const char* name;
  LONG type;
  LONG points, polygons;
  LVector rad;
  bool closed;     // every face points away from the origin
  LVector facing;  // for open shapes: the direction every face points to
  Params params;
};

Shape Closed(const char* name, LONG type, LONG points, LONG polygons, LVector rad, Params params) {
  return {name, type, points, polygons, rad, true, {}, std::move(params)};
}

Shape Open(const char* name, LONG type, LONG points, LONG polygons, LVector rad, LVector facing,
           Params params) {
  return {name, type, points, polygons, rad, false, facing, std::move(params)};
}

TEST_F(PrimitivesTest, MakeEditableBuildsOutwardFacingMeshesOfTheRightExtent) {
  const Shape shapes[] = {
      Closed("cube facing +Z", Ocube, 8, 6, LVector(100, 25, 50),
             {{PRIM_CUBE_LEN, LVector(200, 100, 50)}, {PRIM_AXIS, PRIM_AXIS_ZP}}),
      Closed("cube", Ocube, 8, 6, LVector(5, 10, 15), {{PRIM_CUBE_LEN, LVector(10, 20, 30)}}),
      Closed("sphere", Osphere, 2 + 23 * 48, 24 * 48, LVector(50.0),
             {{PRIM_SPHERE_RAD, 50.0}, {PRIM_SPHERE_SUB, 48}}),
      Closed("small sphere", Osphere, 2 + 4, 8, LVector(1.0), {{PRIM_SPHERE_RAD, 1.0}, {PRIM_SPHERE_SUB, 4}}),
      Closed("hemisphere", Osphere, 1 + 12 * 48, 12 * 48, LVector(20.0, 10.0, 20.0),
             {{PRIM_SPHERE_RAD, 20.0}, {PRIM_SPHERE_SUB, 48}, {PRIM_SPHERE_TYPE, 5}}),
      Open("plane facing +Z", Oplane, 4, 1, LVector(100, 50, 0), LVector(0, 0, 1),
           {{PRIM_PLANE_WIDTH, 200.0},
            {PRIM_PLANE_HEIGHT, 100.0},
            {PRIM_PLANE_SUBW, 1},
            {PRIM_PLANE_SUBH, 1},
            {PRIM_AXIS, PRIM_AXIS_ZP}}),
      Open("plane facing -X", Oplane, 12, 6, LVector(0, 200, 200), LVector(-1, 0, 0),
           {{PRIM_PLANE_SUBW, 3}, {PRIM_PLANE_SUBH, 2}, {PRIM_AXIS, PRIM_AXIS_XN}}),
      Open("disc facing +Z", Odisc, 49, 48, LVector(75, 75, 0), LVector(0, 0, 1),
           {{PRIM_DISC_ORAD, 75.0}, {PRIM_DISC_SUB, 1}, {PRIM_DISC_SEG, 48}, {PRIM_AXIS, 4}}),
      Open("ring", Odisc, 12, 8, LVector(20, 0, 20), LVector(0, 1, 0),
           {{PRIM_DISC_IRAD, 10.0}, {PRIM_DISC_ORAD, 20.0}, {PRIM_DISC_SUB, 2}, {PRIM_DISC_SEG, 4}}),
      Closed("cylinder facing +Z", Ocylinder, 98, 144, LVector(50, 50, 15),
             {{PRIM_CYLINDER_RADIUS, 50.0},
              {PRIM_CYLINDER_HEIGHT, 30.0},
              {PRIM_CYLINDER_SEG, 48},
              {PRIM_AXIS, 4}}),
  };
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.name);
    BaseObject* prim = BaseObject::Alloc(s.type);
    ASSERT_TRUE(prim);
    for (const auto& [id, value] : s.params) prim->GetDataInstance()->SetData(id, value);
    LVector primRad = prim->GetRad();
    PolygonObject* mesh = MakeEditable(prim);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->GetPointCount(), s.points);
    ASSERT_EQ(mesh->GetPolygonCount(), s.polygons);
    ExpectNear(mesh->GetRad(), s.rad);
    ExpectNear(primRad, s.rad);
    for (LONG i = 0; i < mesh->GetPolygonCount(); ++i) {
      const CPolygon& p = mesh->GetPolygonR()[i];
      for (LONG idx : {p.a, p.b, p.c, p.d}) ASSERT_TRUE(idx >= 0 && idx < mesh->GetPointCount());
      LVector n = Normal(mesh, p);
      ASSERT_GT(Len(n), 0.0) << "polygon " << i << " is degenerate";
      if (s.closed)
        EXPECT_GT(n * Centroid(mesh, p), 0.0) << "polygon " << i << " faces inwards";
      else
        EXPECT_NEAR(n * s.facing / Len(n), 1.0, 1e-9) << "polygon " << i;
    }
    BaseObject* gone = mesh;
    BaseObject::Free(gone);
  }
}

TEST_F(PrimitivesTest, MakeEditableReplacesThePrimitiveInItsDocument) {
  BaseObject* parent = BaseObject::Alloc(Onull);
  doc->InsertObject(parent, nullptr, nullptr);
  BaseObject* plane = BaseObject::Alloc(Oplane);
  plane->SetName("Floor");
  const LMatrix ml(LVector(1, 2, 3), LVector(0, 1, 0), LVector(-1, 0, 0), LVector(0, 0, 1));
  plane->SetMl(ml);
  doc->InsertObject(plane, parent, nullptr);
  BaseObject* child = BaseObject::Alloc(Onull);
  doc->InsertObject(child, plane, nullptr);
  BaseTag* phong = plane->MakeTag(Tphong);
  BaseContainer links;
  links.SetLink(1, plane);

  ModelingCommandData mcd;
  mcd.doc = doc;
  mcd.op = plane;
  ASSERT_TRUE(SendModelingCommand(MCOMMAND_MAKEEDITABLE, mcd));

  BaseObject* mesh = mcd.op;
  ASSERT_EQ(mesh->GetType(), Opolygon);
  EXPECT_EQ(parent->GetDown(), mesh);
  EXPECT_EQ(mesh->GetNext(), nullptr);
  EXPECT_EQ(mesh->GetName(), String("Floor"));
  EXPECT_EQ(mesh->GetMl(), ml);
  EXPECT_EQ(mesh->GetDown(), child);
  EXPECT_EQ(mesh->GetTag(Tphong), phong);
  EXPECT_TRUE(mesh->GetTag(Tuvw)) << "the plane comes with its texture coordinates";
  EXPECT_EQ(links.GetLink(1, doc), mesh);
  EXPECT_EQ(static_cast<PolygonObject*>(mesh)->GetPolygonCount(), 400);
}

TEST_F(PrimitivesTest, MakeEditableRefusesWhatItCannotConvert) {
  BaseObject* cube = BaseObject::Alloc(Ocube);
  ModelingCommandData mcd;
  mcd.doc = doc;
  mcd.op = cube;
  EXPECT_FALSE(SendModelingCommand(MCOMMAND_MAKEEDITABLE, mcd)) << "outside the document";
  doc->InsertObject(cube, nullptr, nullptr);
  EXPECT_FALSE(SendModelingCommand(12345, mcd)) << "an unknown command";
  BaseObject* light = BaseObject::Alloc(Olight);
  doc->InsertObject(light, nullptr, nullptr);
  mcd.op = light;
  EXPECT_FALSE(SendModelingCommand(MCOMMAND_MAKEEDITABLE, mcd)) << "a light generates nothing";
  EXPECT_EQ(doc->GetFirstObject(), light);
  EXPECT_EQ(light->GetNext(), cube);
}

TEST_F(PrimitivesTest, SizesThatAreNotFiniteBuildAFlatMesh) {
  BaseObject* plane = BaseObject::Alloc(Oplane);
  plane->GetDataInstance()->SetReal(PRIM_PLANE_WIDTH, INFINITY);
  plane->GetDataInstance()->SetReal(PRIM_PLANE_HEIGHT, -5.0);
  plane->GetDataInstance()->SetLong(PRIM_PLANE_SUBW, 2000000000);
  LVector rad = plane->GetRad();
  EXPECT_EQ(rad, LVector());
  BaseObject::Free(plane);
}

}  // namespace
