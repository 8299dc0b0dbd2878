// Texture coordinates from projections, and the plane primitive.
#include <gtest/gtest.h>

#include <cmath>

#include "c4d.h"
#include "host_control.h"

namespace {

class UvwTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    // One quad in the x-y plane from (-1, -1) to (1, 1) at z = -1, and a triangle.
    mesh = PolygonObject::Alloc(5, 2);
    LVector* p = mesh->GetPointW();
    p[0] = LVector(-1, -1, -1);
    p[1] = LVector(-1, 1, -1);
    p[2] = LVector(1, 1, -1);
    p[3] = LVector(1, -1, -1);
    p[4] = LVector(0, 0, 1);
    mesh->GetPolygonW()[0] = CPolygon(0, 1, 2, 3);
    mesh->GetPolygonW()[1] = CPolygon(0, 3, 4);
    tag = TextureTag::Alloc();
  }
  void TearDown() override {
    TextureTag::Free(tag);
    BaseObject* op = mesh;
    BaseObject::Free(op);
    host::ResetAll();
  }
  UVWStruct Generate(LONG projection, const LMatrix& opmg = LMatrix(), const LMatrix& texmg = LMatrix()) {
    tag->GetDataInstance()->SetLong(TEXTURETAG_PROJECTION, projection);
    UVWTag* uvw = GenerateUVW(mesh, opmg, tag, texmg, nullptr);
    EXPECT_NE(uvw, nullptr);
    if (!uvw) return UVWStruct();
    EXPECT_EQ(uvw->GetDataCount(), 2);
    UVWStruct s = uvw->GetSlow(0);
    BaseTag* t = uvw;
    BaseTag::Free(t);
    return s;
  }
  PolygonObject* mesh = nullptr;
  TextureTag* tag = nullptr;
};

void ExpectUv(const LVector& got, Real u, Real v) {
  EXPECT_NEAR(got.x, u, 1e-12);
  EXPECT_NEAR(got.y, v, 1e-12);
  EXPECT_EQ(got.z, 0.0);
}

TEST_F(UvwTest, FlatMapsThePlacementSquareOntoTheTexture) {
  UVWStruct s = Generate(TEXTURETAG_PROJECTION_FLAT);
  ExpectUv(s.a, 0, 1);
  ExpectUv(s.b, 0, 0);
  ExpectUv(s.c, 1, 0);
  ExpectUv(s.d, 1, 1);

  // The object moved right by 1 and the placement (on a carrier at x = 1) twice as large,
  // centred on the quad's right edge.
  tag->SetMl(LMatrix(LVector(1, 0, 0), LVector(2, 0, 0), LVector(0, 2, 0), LVector(0, 0, 2)));
  const LMatrix opmg(LVector(1, 0, 0), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1));
  const LMatrix texmg(LVector(1, 0, 0), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1));
  s = Generate(TEXTURETAG_PROJECTION_FLAT, opmg, texmg);
  ExpectUv(s.a, 0.0, 0.75);
  ExpectUv(s.c, 0.5, 0.25);
}

TEST_F(UvwTest, SphericalCylindricalAndCubic) {
  tag->SetMl(LMatrix(LVector(), LVector(2, 0, 0), LVector(0, 2, 0), LVector(0, 0, 2)));
  // Corner (-1, -1, -1): longitude of (-1, -1) around y is 3/8, latitude -asin(1/sqrt(3)).
  UVWStruct s = Generate(TEXTURETAG_PROJECTION_SPHERICAL);
  const Real lat = std::asin(1.0 / std::sqrt(3.0)) / 3.14159265358979323846;
  ExpectUv(s.a, 0.375, 0.5 + lat);
  ExpectUv(s.c, 0.625, 0.5 - lat);
  s = Generate(TEXTURETAG_PROJECTION_CYLINDRICAL);
  ExpectUv(s.a, 0.375, 0.75);
  ExpectUv(s.b, 0.375, 0.25);
  // The quad faces along z: flat along z.
  s = Generate(TEXTURETAG_PROJECTION_CUBIC);
  ExpectUv(s.a, 0.25, 0.75);
  ExpectUv(s.c, 0.75, 0.25);
}

TEST_F(UvwTest, WrappedProjectionsKeepAPolygonOnOneSideOfTheSeam) {
  // A quad behind the centre, across the seam at longitude 0 / 1.
  LVector* p = mesh->GetPointW();
  p[0] = LVector(-0.1, -1, 1);
  p[1] = LVector(-0.1, 1, 1);
  p[2] = LVector(0.1, 1, 1);
  p[3] = LVector(0.1, -1, 1);
  const UVWStruct s = Generate(TEXTURETAG_PROJECTION_CYLINDRICAL);
  EXPECT_GT(s.a.x, 1.0);
  EXPECT_LT(s.a.x, 1.1);
  EXPECT_GT(s.c.x, 0.9);
  EXPECT_LT(s.c.x, 1.0);
}

TEST_F(UvwTest, UvwAndTheOtherProjectionsCopyTheObjectsUvwTag) {
  for (LONG projection :
       {TEXTURETAG_PROJECTION_UVW, TEXTURETAG_PROJECTION_FRONTAL, TEXTURETAG_PROJECTION_SPATIAL,
        TEXTURETAG_PROJECTION_SHRINKWRAP, TEXTURETAG_PROJECTION_CAMERAMAP}) {
    tag->GetDataInstance()->SetLong(TEXTURETAG_PROJECTION, projection);
    EXPECT_EQ(GenerateUVW(mesh, LMatrix(), tag, LMatrix(), nullptr), nullptr);  // no UVW tag yet
  }
  UVWTag* own = UVWTag::Alloc(1);  // shorter than the polygon count
  own->SetSlow(0, UVWStruct{LVector(0.1, 0.2, 0), LVector(0.3, 0.4, 0), LVector(0.5, 0.6, 0), LVector()});
  mesh->InsertTag(own);
  UVWStruct s = Generate(TEXTURETAG_PROJECTION_FRONTAL);
  EXPECT_EQ(s.b, LVector(0.3, 0.4, 0));

  tag->SetMl(LMatrix(LVector(), LVector(1, 0, 0), LVector(0, 0, 0), LVector(0, 0, 1)));
  tag->GetDataInstance()->SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_FLAT);
  EXPECT_EQ(GenerateUVW(mesh, LMatrix(), tag, LMatrix(), nullptr), nullptr);  // a flat placement
  EXPECT_EQ(GenerateUVW(nullptr, LMatrix(), tag, LMatrix(), nullptr), nullptr);
  EXPECT_EQ(GenerateUVW(mesh, LMatrix(), nullptr, LMatrix(), nullptr), nullptr);
}

TEST_F(UvwTest, PlanePrimitive) {
  BaseContainer bc;
  bc.SetReal(PRIM_PLANE_WIDTH, 4);
  bc.SetReal(PRIM_PLANE_HEIGHT, 2);
  bc.SetLong(PRIM_PLANE_SUBW, 2);
  bc.SetLong(PRIM_PLANE_SUBH, 1);
  BaseObject* op = GeneratePrimitive(nullptr, Oplane, bc, 1.0, FALSE, nullptr);
  ASSERT_NE(op, nullptr);
  PolygonObject* plane = static_cast<PolygonObject*>(op);
  ASSERT_EQ(plane->GetPointCount(), 6);
  ASSERT_EQ(plane->GetPolygonCount(), 2);
  EXPECT_EQ(plane->GetPointR()[0], LVector(-2, 0, 1));
  EXPECT_EQ(plane->GetPointR()[5], LVector(2, 0, -1));
  const CPolygon& q = plane->GetPolygonR()[1];
  const LVector* p = plane->GetPointR();
  EXPECT_GT(((p[q.b] - p[q.a]) % (p[q.c] - p[q.a])).y, 0.0);  // faces +y
  const UVWStruct uv = static_cast<UVWTag*>(plane->GetTag(Tuvw))->GetSlow(1);
  EXPECT_EQ(uv.a, LVector(0.5, 0, 0));
  EXPECT_EQ(uv.c, LVector(1, 1, 0));
  BaseObject::Free(op);

  op = GeneratePrimitive(nullptr, Oplane, bc, 2.0, TRUE, nullptr);
  EXPECT_EQ(static_cast<PolygonObject*>(op)->GetPolygonCount(), 16);
  EXPECT_EQ(static_cast<PolygonObject*>(op)->GetPolygonR()[0].c,
            static_cast<PolygonObject*>(op)->GetPolygonR()[0].d);
  BaseObject::Free(op);
  EXPECT_EQ(GeneratePrimitive(nullptr, Osphere, bc, 1.0, FALSE, nullptr), nullptr);
}

}  // namespace
