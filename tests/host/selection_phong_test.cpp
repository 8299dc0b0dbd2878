// Polygon selections (checked against a plain set of indices), selection tags from document files,
// and the phong normals of polygon objects.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "c4d.h"
#include "host_control.h"
#include "host_document_file.h"

namespace {

std::set<LONG> Indices(const BaseSelect& bs) {
  std::set<LONG> out;
  LONG a, b;
  for (LONG seg = 0; bs.GetRange(seg, &a, &b); ++seg) {
    EXPECT_LE(a, b);
    if (seg > 0) {
      LONG pa, pb;
      bs.GetRange(seg - 1, &pa, &pb);
      EXPECT_GT(a, pb + 1) << "segments must be sorted and apart";
    }
    for (LONG i = a; i <= b; ++i) out.insert(i);
  }
  return out;
}

TEST(BaseSelectTest, AgreesWithASetOfIndicesUnderRandomOperations) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<LONG> index(0, 60), op(0, 5);
  BaseSelect bs;
  std::set<LONG> model;
  for (int step = 0; step < 4000; ++step) {
    LONG a = index(rng), b = index(rng);
    switch (op(rng)) {
      case 0:
        bs.Select(a);
        model.insert(a);
        break;
      case 1:
        bs.Deselect(a);
        model.erase(a);
        break;
      case 2:
        bs.SelectAll(a, b);
        for (LONG i = a; i <= b; ++i) model.insert(i);
        break;
      case 3:
        bs.ToggleAll(a, b);
        for (LONG i = a; i <= b; ++i)
          if (!model.erase(i)) model.insert(i);
        break;
      case 4: {
        BaseSelect other;
        other.SelectAll(a, a + b % 7);
        other.Select(b);
        bs.Merge(&other);
        for (LONG i : Indices(other)) model.insert(i);
        break;
      }
      default: {
        BaseSelect other;
        other.SelectAll(a, a + b % 9);
        bs.Deselect(&other);
        for (LONG i : Indices(other)) model.erase(i);
        break;
      }
    }
    ASSERT_EQ(Indices(bs), model) << "after step " << step;
    ASSERT_EQ(bs.GetCount(), static_cast<LONG>(model.size()));
    LONG probe = index(rng);
    ASSERT_EQ(bs.IsSelected(probe), model.count(probe) == 1);
  }
  EXPECT_FALSE(bs.SelectAll(-1, 3));
  EXPECT_FALSE(bs.ToggleAll(-1, 3));
  EXPECT_FALSE(bs.GetRange(-1, nullptr, nullptr));
}

struct DocFree {
  void operator()(BaseDocument* doc) const { BaseDocument::Free(doc); }
};
using DocPtr = std::unique_ptr<BaseDocument, DocFree>;

TEST(SelectionTagTest, DocumentFilesCarrySelections) {
  host::ResetAll();
  std::string error;
  DocPtr doc(host::LoadDocumentText(R"({"objects": [{"type": 5100, "name": "M",
    "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "polygons": [[0, 1, 2], [0, 1, 2], [0, 1, 2], [0, 1, 2]],
    "tags": [{"type": 5673, "name": "top", "selection": [3, 0, 1]}, {"type": 5673}]}]})",
                                    "sel.json", &error));
  ASSERT_TRUE(doc) << error;
  BaseObject* op = doc->GetFirstObject();
  auto* top = static_cast<SelectionTag*>(op->GetTag(Tpolygonselection));
  ASSERT_TRUE(top);
  EXPECT_EQ(top->GetName(), String("top"));
  EXPECT_EQ(Indices(*top->GetBaseSelect()), (std::set<LONG>{0, 1, 3}));
  EXPECT_EQ(static_cast<SelectionTag*>(op->GetTag(Tpolygonselection, 1))->GetBaseSelect()->GetCount(), 0);

  const std::pair<const char*, const char*> bad[] = {
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0]], "polygons": [[0, 0, 0]],
          "tags": [{"type": 5673, "selection": [1]}]}]})",
       "sel.json: /objects/0/tags/0/selection/0: polygon index 1 is out of range (the object has 1 polygon)"},
      {R"({"objects": [{"type": 5100, "tags": [{"type": 5612, "selection": []}]}]})",
       "sel.json: /objects/0/tags/0/selection: only polygon selection tags (type 5673) have a selection"},
  };
  for (const auto& [text, message] : bad) {
    DocPtr none(host::LoadDocumentText(text, "sel.json", &error));
    EXPECT_FALSE(none);
    EXPECT_EQ(error, message);
  }
}

struct FreeNormals {
  void operator()(SVector* p) const { GeFree(p); }
};

void ExpectNormal(const SVector& n, double x, double y, double z) {
  EXPECT_NEAR(n.x, x, 1e-6);
  EXPECT_NEAR(n.y, y, 1e-6);
  EXPECT_NEAR(n.z, z, 1e-6);
}

// Two quadrangles folded along the edge of points 1 and 2: one in the x-y plane facing +z, the
// other standing in the y-z plane facing +x, and a triangle beside the first.
PolygonObject* Fold() {
  PolygonObject* op = PolygonObject::Alloc(7, 3);
  LVector* p = op->GetPointW();
  p[0] = LVector(-1, 0, 0);
  p[1] = LVector(0, 0, 0);
  p[2] = LVector(0, 1, 0);
  p[3] = LVector(-1, 1, 0);
  p[4] = LVector(0, 0, -1);
  p[5] = LVector(0, 1, -1);
  p[6] = LVector(-2, 0, 0);
  CPolygon* v = op->GetPolygonW();
  v[0] = CPolygon(0, 1, 2, 3);
  v[1] = CPolygon(1, 4, 5, 2);
  v[2] = CPolygon(6, 0, 3);
  return op;
}

TEST(PhongNormalsTest, SmoothAcrossEdgesUnlessTheAngleLimitSeparates) {
  PolygonObject* op = Fold();
  EXPECT_EQ(op->CreatePhongNormals(), nullptr) << "no phong tag, no normals";
  BaseTag* phong = op->MakeTag(Tphong);
  const double h = std::sqrt(0.5);

  std::unique_ptr<SVector, FreeNormals> smooth(op->CreatePhongNormals());
  ASSERT_TRUE(smooth);
  const SVector* n = smooth.get();
  ExpectNormal(n[0], 0, 0, 1);  // point 0: the quad and the triangle, both facing +z
  ExpectNormal(n[1], h, 0, h);  // point 1 lies on the fold
  ExpectNormal(n[4], h, 0, h);
  ExpectNormal(n[5], 1, 0, 0);  // point 4 belongs to the standing quad only
  ExpectNormal(n[8], 0, 0, 1);
  ExpectNormal(n[11], n[10].x, n[10].y, n[10].z);  // a triangle's fourth repeats its third

  // A 45-degree limit keeps the fold hard: every corner takes its own polygon's normal.
  phong->GetDataInstance()->SetBool(PHONGTAG_PHONG_ANGLELIMIT, TRUE);
  phong->GetDataInstance()->SetReal(PHONGTAG_PHONG_ANGLE, 0.25 * std::acos(-1.0));
  std::unique_ptr<SVector, FreeNormals> hard(op->CreatePhongNormals());
  ASSERT_TRUE(hard);
  for (int k = 0; k < 4; ++k) {
    ExpectNormal(hard.get()[k], 0, 0, 1);
    ExpectNormal(hard.get()[4 + k], 1, 0, 0);
  }
  // Above 90 degrees the fold is smooth again.
  phong->GetDataInstance()->SetReal(PHONGTAG_PHONG_ANGLE, 0.6 * std::acos(-1.0));
  std::unique_ptr<SVector, FreeNormals> wide(op->CreatePhongNormals());
  ExpectNormal(wide.get()[1], h, 0, h);

  // A point index out of range gives that corner no normal and disturbs nothing else.
  op->GetPolygonW()[1].b = 99;
  std::unique_ptr<SVector, FreeNormals> broken(op->CreatePhongNormals());
  ExpectNormal(broken.get()[5], 0, 0, 0);
  ExpectNormal(broken.get()[0], 0, 0, 1);
  BaseObject* obj = op;
  BaseObject::Free(obj);
}

}  // namespace

namespace {

TEST(FilenameFileTest, SetFileReplacesTheLastComponent) {
  const std::pair<const char*, const char*> cases[] = {{"", "mesh_1.ovmesh"},
                                                       {"/a/b/old.txt", "/a/b/mesh_1.ovmesh"},
                                                       {"/a/b/", "/a/b/mesh_1.ovmesh"},
                                                       {"old", "mesh_1.ovmesh"}};
  for (const auto& [path, expected] : cases) {
    Filename f(path);
    f.SetFile(Filename("mesh_1.ovmesh"));
    EXPECT_EQ(f.GetString(), String(expected)) << path;
    EXPECT_EQ(f.GetFileString(), String("mesh_1.ovmesh"));
  }
}

}  // namespace

namespace {

// Large objects are smoothed on several threads; the result is that of the plain definition, for
// polygons in the order of their points and in no order.
TEST(PhongNormalsTest, LargeObjectsMatchThePlainDefinition) {
  for (bool ordered : {true, false}) {
    SCOPED_TRACE(ordered ? "ordered" : "unordered");
    std::mt19937 rng(5);
    const LONG points = 20000, polygons = 70000;
    PolygonObject* op = PolygonObject::Alloc(points, polygons);
    for (LONG i = 0; i < points; ++i) op->GetPointW()[i] = LVector(rng() % 100, rng() % 100, rng() % 100);
    for (LONG i = 0; i < polygons; ++i) {
      LONG a = ordered ? static_cast<LONG>(static_cast<int64_t>(i) * points / polygons)
                       : static_cast<LONG>(rng() % points);
      CPolygon v(a, (a + 1 + rng() % 5) % points, (a + 7 + rng() % 5) % points, (a + 13) % points);
      if (i % 3 == 0) v.d = v.c;
      op->GetPolygonW()[i] = v;
    }
    BaseTag* phong = op->MakeTag(Tphong);
    // The plain definition: per corner, the unit normals of the polygons around its point (within
    // the limit of its own polygon), summed and made unit.
    std::vector<std::vector<LONG>> around(points);
    std::vector<LVector> faces(polygons);
    const LVector* p = op->GetPointR();
    for (LONG i = 0; i < polygons; ++i) {
      const CPolygon& v = op->GetPolygonR()[i];
      LVector n = v.c == v.d ? (p[v.b] - p[v.a]) % (p[v.c] - p[v.a]) : (p[v.c] - p[v.a]) % (p[v.d] - p[v.b]);
      faces[i] = Len(n) > 0 ? n / Len(n) : LVector();
      for (LONG idx : {v.a, v.b, v.c, v.d})
        if (around[idx].empty() || around[idx].back() != i) around[idx].push_back(i);
    }
    for (bool limited : {false, true}) {
      SCOPED_TRACE(limited);
      phong->GetDataInstance()->SetBool(PHONGTAG_PHONG_ANGLELIMIT, limited);
      phong->GetDataInstance()->SetReal(PHONGTAG_PHONG_ANGLE, 0.7);
      std::unique_ptr<SVector, FreeNormals> got(op->CreatePhongNormals());
      ASSERT_TRUE(got);
      for (LONG i = 0; i < polygons; i += 7) {
        const CPolygon& v = op->GetPolygonR()[i];
        const LONG idx[4] = {v.a, v.b, v.c, v.d};
        for (int k = 0; k < 4; ++k) {
          LVector sum;
          for (LONG j : around[idx[k]])
            if (!limited || j == i || faces[j] * faces[i] >= std::cos(0.7)) sum += faces[j];
          const LVector want = Len(sum) > 0 ? sum / Len(sum) : LVector();
          const SVector& n = got.get()[4 * i + k];
          ASSERT_NEAR(n.x, want.x, 1e-4) << i << " " << k;
          ASSERT_NEAR(n.y, want.y, 1e-4) << i << " " << k;
          ASSERT_NEAR(n.z, want.z, 1e-4) << i << " " << k;
        }
      }
    }
    BaseObject* o = op;
    BaseObject::Free(o);
  }
}

}  // namespace
