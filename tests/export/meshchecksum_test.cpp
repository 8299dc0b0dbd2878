// Mesh checksums: everything that decides a mesh file changes them, the object's name and place
// do not; they are the same in another document with the same content; large arrays give the
// CRC-32 of the ZIP format.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <vector>

#include "export/meshchecksum.h"
#include "main/main.h"
#include "tag/mysubdivision.h"
#include "support/host_fixture.h"

namespace {

// A document with one textured, smoothed, partly selected quadrangle pair and two materials.
struct Scene {
  BaseDocument* doc = BaseDocument::Alloc();
  PolygonObject* obj = nullptr;
  TextureTag* texture = nullptr;
  BaseMaterial* red = nullptr;
  BaseMaterial* blue = nullptr;

  Scene() {
    red = BaseMaterial::Alloc(Mmaterial);
    red->SetName("Red");
    blue = BaseMaterial::Alloc(Mmaterial);
    blue->SetName("Blue");
    doc->InsertMaterial(red);
    doc->InsertMaterial(blue, red);
    obj = PolygonObject::Alloc(6, 2);
    obj->SetName("Mesh");
    const LVector pts[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}};
    std::copy(std::begin(pts), std::end(pts), obj->GetPointW());
    obj->GetPolygonW()[0] = CPolygon(0, 1, 2, 3);
    obj->GetPolygonW()[1] = CPolygon(1, 4, 5, 2);
    UVWTag* uvw = UVWTag::Alloc(2);
    uvw->SetSlow(0, UVWStruct{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    uvw->SetSlow(1, UVWStruct{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    obj->InsertTag(uvw);
    obj->MakeTag(Tphong);
    auto* sel = static_cast<SelectionTag*>(obj->MakeTag(Tpolygonselection, obj->GetTag(Tphong)));
    sel->SetName("left");
    sel->GetBaseSelect()->Select(0);
    texture = TextureTag::Alloc();
    texture->SetMaterial(red);
    obj->InsertTag(texture, sel);
    doc->InsertObject(obj, nullptr, nullptr);
  }
  ~Scene() { BaseDocument::Free(doc); }
  MeshChecksum::Key Key(int salt = 0, double scale = 0.01) const {
    return MeshChecksum::CalcMeshKey(obj, salt, scale, doc);
  }
};

class MeshChecksumTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterMySubdivision());
  }
};

TEST_F(MeshChecksumTest, ChangesWithEverythingThatShapesTheMeshFile) {
  struct Case {
    const char* what;
    std::function<void(Scene&)> change;
  } cases[] = {
      {"a texture coordinate",
       [](Scene& s) {
         auto* uvw = static_cast<UVWTag*>(s.obj->GetTag(Tuvw));
         UVWStruct u = uvw->GetSlow(1);
         u.c.x = 0.5;
         uvw->SetSlow(1, u);
       }},
      {"a point", [](Scene& s) { s.obj->GetPointW()[4].z = 1e-9; }},
      {"a polygon index", [](Scene& s) { s.obj->GetPolygonW()[1].d = 3; }},
      {"the texture's material", [](Scene& s) { s.texture->SetMaterial(s.blue); }},
      {"the material's name", [](Scene& s) { s.red->SetName("Crimson"); }},
      {"the material's place in the document", [](Scene& s) { s.blue->InsertBefore(s.red); }},
      {"offset u", [](Scene& s) { s.texture->GetDataInstance()->SetReal(TEXTURETAG_OFFSETX, 0.5); }},
      {"offset v", [](Scene& s) { s.texture->GetDataInstance()->SetReal(TEXTURETAG_OFFSETY, 0.5); }},
      {"length u", [](Scene& s) { s.texture->GetDataInstance()->SetReal(TEXTURETAG_LENGTHX, 2.0); }},
      {"length v", [](Scene& s) { s.texture->GetDataInstance()->SetReal(TEXTURETAG_LENGTHY, 2.0); }},
      {"projection",
       [](Scene& s) {
         s.texture->GetDataInstance()->SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_FLAT);
       }},
      {"restriction",
       [](Scene& s) { s.texture->GetDataInstance()->SetString(TEXTURETAG_RESTRICTION, "left"); }},
      {"texture placement",
       [](Scene& s) {
         s.texture->SetMl(LMatrix(LVector(1, 0, 0), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));
       }},
      {"phong angle limit",
       [](Scene& s) { s.obj->GetTag(Tphong)->GetDataInstance()->SetBool(PHONGTAG_PHONG_ANGLELIMIT, TRUE); }},
      {"phong angle",
       [](Scene& s) { s.obj->GetTag(Tphong)->GetDataInstance()->SetReal(PHONGTAG_PHONG_ANGLE, 0.5); }},
      {"phong edges",
       [](Scene& s) { s.obj->GetTag(Tphong)->GetDataInstance()->SetBool(PHONGTAG_PHONG_USEEDGES, TRUE); }},
      {"no phong tag", [](Scene& s) { s.obj->KillTag(Tphong); }},
      {"selection name", [](Scene& s) { s.obj->GetTag(Tpolygonselection)->SetName("right"); }},
      {"selected polygons",
       [](Scene& s) {
         static_cast<SelectionTag*>(s.obj->GetTag(Tpolygonselection))->GetBaseSelect()->Select(1);
       }},
      {"subdivision settings",
       [](Scene& s) {
         BaseTag* tag = BaseTag::Alloc(ID_MYSUBDIVISION);
         ASSERT_TRUE(tag);
         s.obj->InsertTag(tag);
       }},
  };
  const Scene base;
  const MeshChecksum::Key reference = base.Key();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    EXPECT_EQ(s.Key(), reference) << "the same content in another document";
    c.change(s);
    EXPECT_NE(s.Key().checksum, reference.checksum);
    EXPECT_NE(s.Key().fingerprint, reference.fingerprint);
  }
  EXPECT_NE(base.Key(0, 0.01).checksum, base.Key(0, 1.0).checksum) << "scale";
  EXPECT_NE(base.Key(0).checksum, base.Key(1).checksum) << "salt";
  EXPECT_EQ(MeshChecksum::CalcMeshChecksum(base.obj, 1, 0.01, base.doc), base.Key(1).checksum);
  EXPECT_EQ(MeshChecksum::CalcMeshChecksum(nullptr, 0), 0u);
}

TEST_F(MeshChecksumTest, NameAndPlaceOfTheObjectDoNotCount) {
  for (LONG projection : {TEXTURETAG_PROJECTION_UVW, TEXTURETAG_PROJECTION_FLAT}) {
    Scene s;
    s.texture->GetDataInstance()->SetLong(TEXTURETAG_PROJECTION, projection);
    const MeshChecksum::Key before = s.Key();
    s.obj->SetName("Renamed");
    s.obj->SetMl(LMatrix(LVector(5, 6, 7), LVector(0, 1, 0), LVector(-1, 0, 0), LVector(0, 0, 2)));
    EXPECT_EQ(s.Key(), before) << projection;
  }
  // A flat projection inherited from a parent depends on where the object lies below it.
  Scene s;
  BaseObject* parent = BaseObject::Alloc(Onull);
  s.doc->InsertObject(parent, nullptr, nullptr);
  s.obj->Remove();
  s.obj->InsertUnder(parent);
  s.texture->Remove();
  parent->InsertTag(s.texture);
  s.texture->GetDataInstance()->SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_FLAT);
  const MeshChecksum::Key below = s.Key();
  s.obj->SetPos(LVector(3, 0, 0));
  EXPECT_NE(s.Key(), below);
}

TEST_F(MeshChecksumTest, LargeArraysGiveTheZipCrc) {
  // Points and polygons of several megabytes are summed on several threads.
  const LONG points = 300000, polygons = 400000;
  PolygonObject* obj = PolygonObject::Alloc(points, polygons);
  for (LONG i = 0; i < points; ++i) obj->GetPointW()[i] = LVector(i * 0.5, -i, i % 7);
  for (LONG i = 0; i < polygons; ++i)
    obj->GetPolygonW()[i] = CPolygon(i % points, (i + 1) % points, (i + 7) % points);
  const ULONG start = 0x12345678;
  uLong expected = start;
  expected = crc32(expected, reinterpret_cast<const Bytef*>(&points), 4);
  expected = crc32(expected, reinterpret_cast<const Bytef*>(&polygons), 4);
  expected = crc32(expected, reinterpret_cast<const Bytef*>(obj->GetPointR()), points * sizeof(LVector));
  expected = crc32(expected, reinterpret_cast<const Bytef*>(obj->GetPolygonR()), polygons * sizeof(CPolygon));
  EXPECT_EQ(MeshChecksum::CalcMeshDataChecksum(obj, start), expected);
  // The fingerprint sees a change deep inside a block, too.
  const MeshChecksum::Key before = MeshChecksum::CalcMeshKey(obj, 0);
  obj->GetPointW()[123456].y += 1.0;
  EXPECT_NE(MeshChecksum::CalcMeshKey(obj, 0).fingerprint, before.fingerprint);
  BaseObject* o = obj;
  BaseObject::Free(o);
}

}  // namespace
