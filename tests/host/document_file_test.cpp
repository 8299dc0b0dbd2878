// The document file loader: a full document read back node by node, every kind of error with its
// exact message, links, plug-in types, malformed text and deep nesting.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "c4d.h"
#include "host_control.h"
#include "host_document_file.h"
#include "support/host_fixture.h"

namespace {

constexpr LONG kTestObject = 1099000;      // registered with Init defaults
constexpr LONG kTestVideoPost = 1099001;   // registered with Init defaults
constexpr LONG kRefusingObject = 1099002;  // registered, Init refuses

int g_freed = 0;  // plug-in objects whose Free ran

class TestObject : public ObjectData {
 public:
  Bool Init(GeListNode* node) override {
    BaseContainer* bc = static_cast<BaseList2D*>(node)->GetDataInstance();
    bc->SetLong(1, 10);
    bc->SetString(2, "default");
    return true;
  }
  void Free(GeListNode*) override { ++g_freed; }
  static NodeData* Alloc() { return new TestObject; }
};

class RefusingObject : public ObjectData {
 public:
  Bool Init(GeListNode*) override { return false; }
  static NodeData* Alloc() { return new RefusingObject; }
};

class TestVideoPost : public VideoPostData {
 public:
  Bool Init(GeListNode* node) override {
    BaseContainer* bc = static_cast<BaseList2D*>(node)->GetDataInstance();
    bc->SetLong(10, 0);
    bc->SetLong(11, 5);
    return true;
  }
  static NodeData* Alloc() { return new TestVideoPost; }
};

struct DocFree {
  void operator()(BaseDocument* doc) const { BaseDocument::Free(doc); }
};
using DocPtr = std::unique_ptr<BaseDocument, DocFree>;

class DocumentFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    g_freed = 0;
  }
  void TearDown() override { host::ResetAll(); }

  static void RegisterTestPlugins() {
    ASSERT_TRUE(RegisterObjectPlugin(kTestObject, "Test Object", 0, &TestObject::Alloc, "", nullptr, 0));
    ASSERT_TRUE(RegisterObjectPlugin(kRefusingObject, "Refusing", 0, &RefusingObject::Alloc, "", nullptr, 0));
    ASSERT_TRUE(RegisterVideoPostPlugin(kTestVideoPost, "Test Post", 0, &TestVideoPost::Alloc, "", 0, 0));
  }

  DocPtr Load(const std::string& text) {
    error_ = "(unchanged)";
    return DocPtr(host::LoadDocumentText(text, "bad.json", &error_));
  }

  std::string error_;
};

// Checks every entry of `bc` against `expected`, in order.
void ExpectSameContainer(const BaseContainer& bc, const BaseContainer& expected) {
  ASSERT_EQ(bc.GetCount(), expected.GetCount());
  for (LONG i = 0; i < bc.GetCount(); ++i) {
    EXPECT_EQ(bc.GetIndexId(i), expected.GetIndexId(i)) << "entry " << i;
    EXPECT_TRUE(*bc.GetIndexData(i) == *expected.GetIndexData(i))
        << "entry " << i << " (ID " << bc.GetIndexId(i) << ")";
  }
}

TEST_F(DocumentFileTest, FullDocumentReadsBackNodeByNode) {
  RegisterTestPlugins();
  std::string error = "(unchanged)";
  DocPtr doc(host::LoadDocumentFile(CORVANE_TEST_DATA "/documents/full.json", &error));
  ASSERT_TRUE(doc) << error;
  EXPECT_EQ(error, "");

  EXPECT_EQ(doc->GetDocumentName(), Filename("shot.c4d"));
  EXPECT_EQ(doc->GetDocumentPath(), Filename("/projects/shot"));
  EXPECT_EQ(doc->GetFps(), 25);
  EXPECT_DOUBLE_EQ(doc->GetTime().Get(), 0.12);
  EXPECT_DOUBLE_EQ(doc->GetMinTime().Get(), -0.2);
  EXPECT_DOUBLE_EQ(doc->GetMaxTime().Get(), 3.6);

  BaseMaterial* red = doc->GetFirstMaterial();
  ASSERT_TRUE(red);
  BaseMaterial* blue = red->GetNext();
  ASSERT_TRUE(blue);
  EXPECT_EQ(blue->GetNext(), nullptr);
  EXPECT_EQ(red->GetType(), Mmaterial);
  EXPECT_EQ(red->GetName(), String("Red"));
  EXPECT_EQ(red->GetDataInstance()->GetVector(MATERIAL_COLOR_COLOR), LVector(1, 0, 0));
  EXPECT_EQ(blue->GetType(), Mmaterial);
  EXPECT_EQ(blue->GetName(), String("Blue"));
  EXPECT_EQ(blue->GetDataInstance()->GetVector(MATERIAL_COLOR_COLOR), LVector(0.8));

  // Top level: Group, Camera.
  BaseObject* group = doc->GetFirstObject();
  ASSERT_TRUE(group);
  BaseObject* camera = group->GetNext();
  ASSERT_TRUE(camera);
  EXPECT_EQ(camera->GetNext(), nullptr);
  EXPECT_EQ(group->GetType(), Onull);
  EXPECT_EQ(group->GetName(), String("Group"));
  EXPECT_EQ(group->GetMl(), LMatrix(LVector(1, 2, 3), LVector(0, 1, 0), LVector(-1, 0, 0), LVector(0, 0, 2)));
  EXPECT_TRUE(group->GetBit(BIT_ACTIVE));
  EXPECT_EQ(group->GetFirstTag(), nullptr);
  EXPECT_EQ(camera->GetType(), Ocamera);
  EXPECT_EQ(camera->GetName(), String("Camera"));
  EXPECT_EQ(camera->GetMl(), LMatrix());
  EXPECT_FALSE(camera->GetBit(BIT_ACTIVE));
  EXPECT_EQ(camera->GetDown(), nullptr);

  // Group's children: Mesh, Ball.
  BaseObject* meshObject = group->GetDown();
  ASSERT_TRUE(meshObject);
  ASSERT_EQ(meshObject->GetType(), Opolygon);
  auto* mesh = static_cast<PolygonObject*>(meshObject);
  BaseObject* ball = mesh->GetNext();
  ASSERT_TRUE(ball);
  EXPECT_EQ(ball->GetNext(), nullptr);
  EXPECT_EQ(ball->GetType(), Osphere);
  EXPECT_EQ(ball->GetName(), String("Ball"));
  EXPECT_FALSE(ball->GetBit(BIT_ACTIVE));
  EXPECT_EQ(ball->GetUp(), group);

  EXPECT_EQ(mesh->GetName(), String("Mesh"));
  EXPECT_EQ(mesh->GetMl(), LMatrix(LVector(0, 100, 0), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));
  EXPECT_EQ(mesh->GetDown(), nullptr);
  const std::vector<LVector> points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 2, 0}};
  ASSERT_EQ(mesh->GetPointCount(), 5);
  for (LONG i = 0; i < 5; ++i) EXPECT_EQ(mesh->GetPointR()[i], points[i]) << "point " << i;
  ASSERT_EQ(mesh->GetPolygonCount(), 2);
  const CPolygon* polys = mesh->GetPolygonR();
  EXPECT_EQ(std::vector<LONG>({polys[0].a, polys[0].b, polys[0].c, polys[0].d}),
            std::vector<LONG>({0, 1, 2, 3}));
  EXPECT_EQ(std::vector<LONG>({polys[1].a, polys[1].b, polys[1].c, polys[1].d}),
            std::vector<LONG>({3, 2, 4, 4}));

  // The mesh's own point and polygon tags come first, then the file's tags in order.
  std::vector<LONG> tagTypes;
  for (BaseTag* t = mesh->GetFirstTag(); t; t = t->GetNext()) tagTypes.push_back(t->GetType());
  EXPECT_EQ(tagTypes, std::vector<LONG>({Tpoint, Tpolygon, Tuvw, Ttexture}));
  auto* uvw = static_cast<UVWTag*>(mesh->GetTag(Tuvw));
  EXPECT_EQ(uvw->GetName(), String("UVW"));
  ASSERT_EQ(uvw->GetDataCount(), 2);
  UVWStruct quad = uvw->GetSlow(0), tri = uvw->GetSlow(1);
  EXPECT_EQ(quad.a, LVector(0, 0, 0));
  EXPECT_EQ(quad.b, LVector(1, 0, 0));
  EXPECT_EQ(quad.c, LVector(1, 1, 0));
  EXPECT_EQ(quad.d, LVector(0, 1, 0));
  EXPECT_EQ(tri.a, LVector(0, 1, 0));
  EXPECT_EQ(tri.b, LVector(1, 1, 0));
  EXPECT_EQ(tri.c, LVector(0.5, 0.5, 0));
  EXPECT_EQ(tri.d, LVector(0.5, 0.5, 0));
  BaseTag* texture = mesh->GetTag(Ttexture);
  EXPECT_EQ(texture->GetName(), String("Texture"));
  EXPECT_EQ(static_cast<TextureTag*>(texture)->GetMaterial(), red);
  EXPECT_EQ(texture->GetDataInstance()->GetLink(1010, doc.get(), Mbase), red);

  // Every parameter of Group, in file order, with its type.
  BaseContainer nested;
  nested.SetLong(1, 1);
  nested.SetLink(-3, group);
  nested.SetContainer(2, BaseContainer());
  BaseContainer expected;
  expected.SetLong(100, 7);
  expected.SetReal(101, -2.5);
  expected.SetBool(102, true);
  expected.SetString(103, "text");
  expected.SetVector(104, LVector(1, 2.5, -3));
  expected.SetLong(200, INT32_MIN);
  expected.SetBool(201, false);
  expected.SetReal(202, 4.0);
  expected.SetVector(203, LVector(0.5, 0, 1000));
  expected.SetString(204, "Grüße");
  expected.SetFilename(205, Filename("/tex/wood.png"));
  expected.SetTime(206, BaseTime(1.5));
  expected.SetLink(207, mesh);
  expected.SetLink(208, blue);
  expected.SetMatrix(209, LMatrix(LVector(9, 8, 7), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));
  expected.SetContainer(210, nested);
  ExpectSameContainer(*group->GetDataInstance(), expected);
  EXPECT_EQ(group->GetDataInstance()->GetData(101).GetType(), DA_REAL);
  EXPECT_EQ(group->GetDataInstance()->GetData(202).GetType(), DA_REAL);
  EXPECT_EQ(group->GetDataInstance()->GetData(205).GetType(), DA_FILENAME);

  // Render data: the host's defaults (800 x 600), its parameters, and the video posts after the
  // plug-in's defaults.
  RenderData* rd = doc->GetActiveRenderData();
  ASSERT_TRUE(rd);
  BaseContainer rdExpected;
  rdExpected.SetLong(RDATA_XRES, 800);
  rdExpected.SetLong(RDATA_YRES, 600);
  rdExpected.SetTime(RDATA_FRAMEFROM, BaseTime(0.0));
  rdExpected.SetTime(RDATA_FRAMETO, BaseTime(3.6));
  ExpectSameContainer(*rd->GetDataInstance(), rdExpected);
  BaseVideoPost* first = rd->GetFirstVideoPost();
  ASSERT_TRUE(first);
  BaseVideoPost* second = first->GetNext();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->GetNext(), nullptr);
  EXPECT_EQ(first->GetType(), kTestVideoPost);
  EXPECT_EQ(first->GetName(), String("First"));
  EXPECT_FALSE(first->GetBit(BIT_VPDISABLED));
  BaseContainer firstExpected;
  firstExpected.SetLong(10, 1);
  firstExpected.SetLong(11, 5);
  ExpectSameContainer(*first->GetDataInstance(), firstExpected);
  EXPECT_TRUE(second->GetBit(BIT_VPDISABLED));
  BaseContainer secondExpected;
  secondExpected.SetLong(10, 0);
  secondExpected.SetLong(11, 5);
  ExpectSameContainer(*second->GetDataInstance(), secondExpected);
}

struct ErrorCase {
  std::string json;  // may hold NUL bytes
  const char* message;
};

TEST_F(DocumentFileTest, ErrorsNameTheirPlaceAndProblem) {
  const ErrorCase cases[] = {
      // The document and its fields.
      {"[]", "bad.json: expected an object, not an array"},
      {R"({"object": []})", "bad.json: /object: unknown field"},
      {R"({"name": 3})", "bad.json: /name: expected a string, not an integer"},
      {R"({"fps": 0})", "bad.json: /fps: the frame rate must be at least 1, not 0"},
      {R"({"frame": "3"})", "bad.json: /frame: expected an integer, not a string"},
      {R"({"objects": {}})", "bad.json: /objects: expected an array, not an object"},
      // Objects.
      {R"({"objects": [5]})", "bad.json: /objects/0: expected an object, not an integer"},
      {R"({"objects": [{"name": "A"}]})", "bad.json: /objects/0: an object needs a type"},
      {R"({"objects": [{"type": 5140}, {"type": 4711}]})",
       "bad.json: /objects/1/type: unknown object type 4711"},
      {R"({"objects": [{"type": "5140"}]})", "bad.json: /objects/0/type: expected an integer, not a string"},
      {R"({"objects": [{"type": 4294967296}]})",
       "bad.json: /objects/0/type: integer 4294967296 is out of the 32-bit range"},
      {R"({"objects": [{"type": -2147483649}]})",
       "bad.json: /objects/0/type: integer -2147483649 is out of the 32-bit range"},
      {R"({"objects": [{"type": -0}]})", "bad.json: /objects/0/type: unknown object type 0"},
      {R"({"objects": [{"type": 5140, "postion": [0, 0, 0]}]})",
       "bad.json: /objects/0/postion: unknown field"},
      {R"({"objects": [{"type": 5140, "bad\nkey": 1}]})", "bad.json: /objects/0/bad\\012key: unknown field"},
      {R"({"objects": [{"type": 5140, "matrix": {}, "position": [0, 0, 0]}]})",
       "bad.json: /objects/0/position: give either matrix or position, not both"},
      {R"({"objects": [{"type": 5140, "position": [0, 0]}]})",
       "bad.json: /objects/0/position: a vector has three numbers, not 2"},
      {R"({"objects": [{"type": 5140, "position": [0, "x", 0]}]})",
       "bad.json: /objects/0/position/1: expected a number, not a string"},
      {R"({"objects": [{"type": 5140, "matrix": {"v4": [0, 0, 0]}}]})",
       "bad.json: /objects/0/matrix/v4: unknown field"},
      {R"({"objects": [{"type": 5140, "selected": 1}]})",
       "bad.json: /objects/0/selected: expected true or false, not an integer"},
      {R"({"objects": [{"type": 5140, "children": [{"type": 5140}, {"type": 4711}]}]})",
       "bad.json: /objects/0/children/1/type: unknown object type 4711"},
      // Polygon data.
      {R"({"objects": [{"type": 5140, "points": [[0, 0, 0]]}]})",
       "bad.json: /objects/0/points: only polygon objects (type 5100) have points and polygons"},
      {R"({"objects": [{"type": 5160, "polygons": []}]})",
       "bad.json: /objects/0/polygons: only polygon objects (type 5100) have points and polygons"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "polygons": [[0, 1, 3]]}]})",
       "bad.json: /objects/0/polygons/0/2: point index 3 is out of range (the object has 3 points)"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0]], "polygons": [[0, 0, -1]]}]})",
       "bad.json: /objects/0/polygons/0/2: point index -1 is out of range (the object has 1 point)"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0]], "polygons": [[0, 0]]}]})",
       "bad.json: /objects/0/polygons/0: a polygon has 3 or 4 point indices, not 2"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0]], "polygons": [[0, 0, 0.5]]}]})",
       "bad.json: /objects/0/polygons/0/2: expected an integer, not a real number"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0], 7]}]})",
       "bad.json: /objects/0/points/1: expected a vector of three numbers, not an integer"},
      // Tags.
      {R"({"objects": [{"type": 5140, "tags": [{"type": 4711}]}]})",
       "bad.json: /objects/0/tags/0/type: unknown tag type 4711"},
      {R"({"objects": [{"type": 5140, "tags": [{"name": "T"}]}]})",
       "bad.json: /objects/0/tags/0: a tag needs a type"},
      {R"({"objects": [{"type": 5100, "tags": [{"type": 5600}]}]})",
       "bad.json: /objects/0/tags/0/type: point and polygon tags are made from an object's points and "
       "polygons"},
      {R"({"objects": [{"type": 5140, "tags": [{"type": 5616, "uvw": []}]}]})",
       "bad.json: /objects/0/tags/0/uvw: only UVW tags (type 5671) have uvw"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0]], "polygons": [[0, 0, 0]],
           "tags": [{"type": 5671, "uvw": []}]}]})",
       "bad.json: /objects/0/tags/0/uvw: uvw has 0 entries but the object has 1 polygon"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0]], "polygons": [[0, 0, 0]],
           "tags": [{"type": 5671, "uvw": [[[0, 0, 0], [1, 0, 0]]]}]}]})",
       "bad.json: /objects/0/tags/0/uvw/0: a polygon's uvw has 3 or 4 corners, not 2"},
      {R"({"objects": [{"type": 5140, "tags": [{"type": 5616, "parameters": {"1": {"material": "M"}}}]}]})",
       "bad.json: /objects/0/tags/0/parameters/1/material: no material named \"M\""},
      // Materials and render data.
      {R"({"materials": [{"type": 4711}]})", "bad.json: /materials/0/type: unknown material type 4711"},
      {R"({"renderData": {"frame": 1}})", "bad.json: /renderData/frame: unknown field"},
      {R"({"renderData": {"videoPosts": [{}]}})",
       "bad.json: /renderData/videoPosts/0: a video post needs a type"},
      {R"({"renderData": {"videoPosts": [{"type": 4711}]}})",
       "bad.json: /renderData/videoPosts/0/type: unknown video post type 4711"},
      {R"({"renderData": {"parameters": {"5017": {"time": "0"}}}})",
       "bad.json: /renderData/parameters/5017/time: expected a number, not a string"},
      // Parameters and their values.
      {R"({"objects": [{"type": 5140, "parameters": []}]})",
       "bad.json: /objects/0/parameters: expected an object, not an array"},
      {R"({"objects": [{"type": 5140, "parameters": {"abc": 1}}]})",
       "bad.json: /objects/0/parameters/abc: parameter IDs are decimal integers, not \"abc\""},
      {R"({"objects": [{"type": 5140, "parameters": {"": 1}}]})",
       "bad.json: /objects/0/parameters/: parameter IDs are decimal integers, not \"\""},
      {R"({"objects": [{"type": 5140, "parameters": {"-": 1}}]})",
       "bad.json: /objects/0/parameters/-: parameter IDs are decimal integers, not \"-\""},
      {R"({"objects": [{"type": 5140, "parameters": {"a/b~c": 1}}]})",
       "bad.json: /objects/0/parameters/a~1b~0c: parameter IDs are decimal integers, not \"a/b~c\""},
      {R"({"objects": [{"type": 5140, "parameters": {"2147483648": 1}}]})",
       "bad.json: /objects/0/parameters/2147483648: parameter ID 2147483648 is out of the 32-bit range"},
      {R"({"objects": [{"type": 5140, "parameters": {"-2147483649": 1}}]})",
       "bad.json: /objects/0/parameters/-2147483649: parameter ID -2147483649 is out of the 32-bit range"},
      {R"({"objects": [{"type": 5140, "parameters": {"99999999999999999999999": 1}}]})",
       "bad.json: /objects/0/parameters/99999999999999999999999: parameter ID 99999999999999999999999 is out "
       "of the 32-bit range"},
      {R"({"objects": [{"type": 5140, "parameters": {"5": 1, "05": 2}}]})",
       "bad.json: /objects/0/parameters/05: parameter 5 is given twice"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": null}}]})",
       "bad.json: /objects/0/parameters/1: null is not a parameter value"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {}}}]})",
       "bad.json: /objects/0/parameters/1: a typed value has exactly one key: long, bool, real, vector, "
       "matrix, string, filename, time, link, material, shader or container"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"long": 1, "real": 2}}}]})",
       "bad.json: /objects/0/parameters/1: a typed value has exactly one key: long, bool, real, vector, "
       "matrix, string, filename, time, link, material, shader or container"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"colour": [1, 0, 0]}}}]})",
       "bad.json: /objects/0/parameters/1: unknown value type \"colour\""},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"long": 1.5}}}]})",
       "bad.json: /objects/0/parameters/1/long: expected an integer, not a real number"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": 3000000000}}]})",
       "bad.json: /objects/0/parameters/1: integer 3000000000 is out of the 32-bit range"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": 18446744073709551616}}]})",
       "bad.json: /objects/0/parameters/1: integer 18446744073709551616 is out of the 32-bit range"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"bool": 0}}}]})",
       "bad.json: /objects/0/parameters/1/bool: expected true or false, not an integer"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"filename": null}}}]})",
       "bad.json: /objects/0/parameters/1/filename: expected a string, not null"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": [1, 2, 3, 4]}}]})",
       "bad.json: /objects/0/parameters/1: a vector has three numbers, not 4"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"matrix": {"off": [1, 2, true]}}}}]})",
       "bad.json: /objects/0/parameters/1/matrix/off/2: expected a number, not true or false"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"container": {"2": {"container": {"x": 1}}}}}}]})",
       "bad.json: /objects/0/parameters/1/container/2/container/x: parameter IDs are decimal integers, not "
       "\"x\""},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"link": ""}}}]})",
       "bad.json: /objects/0/parameters/1/link: a link needs a name"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"link": 5}}}]})",
       "bad.json: /objects/0/parameters/1/link: expected a string, not an integer"},
      // A link's index among the nodes of its name.
      {R"({"objects": [{"type": 5140, "name": "A", "parameters": {"1": {"link": "A", "index": 1}}}]})",
       "bad.json: /objects/0/parameters/1/index: no object named \"A\" at index 1 (1 has that name)"},
      {R"({"materials": [{"name": "M"}, {"name": "M", "parameters": {"1": {"index": -1, "material": "M"}}}]})",
       "bad.json: /materials/1/parameters/1/index: an index counts from 0, not -1"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"long": 1, "index": 0}}}]})",
       "bad.json: /objects/0/parameters/1/index: only a link or a material has an index"},
      {R"({"objects": [{"type": 5103, "name": "C"}], "sceneCamera": "C", "sceneCameraIndex": 1})",
       "bad.json: /sceneCameraIndex: no object named \"C\" at index 1 (1 has that name)"},
      {R"({"objects": [{"type": 5103, "name": "C"}], "sceneCameraIndex": 0})",
       "bad.json: /sceneCameraIndex: an index without a sceneCamera"},
      // A key given twice in one JSON object.
      {R"({"fps": 25, "fps": 30})", "bad.json: /fps: the key is given twice"},
      {R"({"objects": [{"type": 5140}, {"type": 5140, "name": "a", "type": 4711}]})",
       "bad.json: /objects/1/type: the key is given twice"},
      {R"({"objects": [[1, [2]], {"a": {"b": 1}, "a": 2}]})",
       "bad.json: /objects/1/a: the key is given twice"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"container": {"5": 1, "5": 2}}}}]})",
       "bad.json: /objects/0/parameters/1/container/5: the key is given twice"},
      // Malformed text.
      {"", "bad.json: parse error at line 1, column 1: the document is empty"},
      {"{\"objects\": [\n  {\"type\": 5140},\n]}",
       "bad.json: parse error at line 3, column 1: invalid value"},
      {"{\"a\": 1}\n{}",
       "bad.json: parse error at line 2, column 1: the document root must not be followed "
       "by other values"},
      {"{\"fps\":\n 1e400}",
       "bad.json: parse error at line 2, column 2: number too big to be stored in double"},
      {"{\"name\": \"a\xff\"}", "bad.json: parse error at line 1, column 12: invalid encoding in string"},
      {R"({"name": "a\ud800"})",
       "bad.json: parse error at line 1, column 12: the surrogate pair in string is invalid"},
      {R"({"name": "a\udc00"})",
       "bad.json: parse error at line 1, column 12: the surrogate pair in string is invalid"},
      {"{\"name\": \"a\nb\"}",
       "bad.json: parse error at line 1, column 12: control character U+000A in a "
       "string must be escaped"},
      {"{\"objects\": [}", "bad.json: parse error at line 1, column 14: invalid value"},
      {"{\"objects\" []}",
       "bad.json: parse error at line 1, column 12: missing a colon after a name of object member"},
      // NUL bytes, and times and frames beyond what the host counts.
      {std::string("{\"objects\": []}\0junk", 20),
       "bad.json: parse error at line 1, column 16: a NUL byte in the document"},
      {std::string("{\"name\": \"a\0b\"}", 15),
       "bad.json: parse error at line 1, column 12: a NUL byte in the document"},
      {std::string("\n\0", 2), "bad.json: parse error at line 2, column 1: a NUL byte in the document"},
      {R"({"name": "A\u0000B"})",
       "bad.json: parse error at line 1, column 12: a NUL character (\\u0000) in a string"},
      {R"({"name": "a\ud800\u0000"})",
       "bad.json: parse error at line 1, column 12: the surrogate pair in string is invalid"},
      {R"({"renderData": {"parameters": {"5017": {"time": -1e300}}}})",
       "bad.json: /renderData/parameters/5017/time: the time lies beyond the frame numbers the host can "
       "count"},
      {R"({"fps": 25, "renderData": {"parameters": {"5018": {"time": 85899346}}}})",
       "bad.json: /renderData/parameters/5018/time: the time lies beyond the frame numbers the host can "
       "count"},
      {R"({"objects": [{"type": 5140, "keys": [{"frame": 2147483648, "position": [0, 0, 0]}]}]})",
       "bad.json: /objects/0/keys/0/frame: the frame lies beyond the frame numbers the host can count"},
      {R"({"fps": 715827883})",
       "bad.json: /fps: the default range ends at frame 2147483649, beyond the frame numbers the host can "
       "count; give a maxFrame"},
      // Packed number arrays: a wide number after narrow rows, a short row, a row that is not one,
      // and mixed items.
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0]], "polygons": [[0, 0, 0], [0, 0, 4294967296]]}]})",
       "bad.json: /objects/0/polygons/1/2: integer 4294967296 is out of the 32-bit range"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0], [1, 1]]}]})",
       "bad.json: /objects/0/points/1: a vector has three numbers, not 2"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0], [1, 1, 1, 1, 1]]}]})",
       "bad.json: /objects/0/points/1: a vector has three numbers, not 5"},
      {R"({"objects": [{"type": 5140, "parameters": {"1": [1, 2, 3, 4, 5, 6.5, -0, 1e300, 18446744073709551616]}}]})",
       "bad.json: /objects/0/parameters/1: a vector has three numbers, not 9"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0], [1, "1", 1]]}]})",
       "bad.json: /objects/0/points/1/1: expected a number, not a string"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0], 7]}]})",
       "bad.json: /objects/0/points/1: expected a vector of three numbers, not an integer"},
      {R"({"objects": [{"type": 5100, "points": [[0, 0, 0]], "polygons": [[0, 0, 0], [0, 0, 0.5]]}]})",
       "bad.json: /objects/0/polygons/1/2: expected an integer, not a real number"},
      {R"({"objects": [[1, 2], [[3]], {"a": 1, "a": 2}]})", "bad.json: /objects/2/a: the key is given twice"},
      {R"({"objects": [[1, 2], [3, 4], [], {"b": [[1], {"c": 1, "c": 2}]}]})",
       "bad.json: /objects/3/b/1/c: the key is given twice"},
      // Shaders.
      {R"({"objects": [{"type": 5140, "parameters": {"1": {"shader": {"type": 5833}}}}]})",
       "bad.json: /objects/0/parameters/1/shader: only materials and shaders hold shaders"},
      {R"({"materials": [{"parameters": {"1": {"shader": {"name": "S"}}}}]})",
       "bad.json: /materials/0/parameters/1/shader: a shader needs a type"},
      {R"({"materials": [{"parameters": {"1": {"shader": {"type": 4711}}}}]})",
       "bad.json: /materials/0/parameters/1/shader/type: unknown shader type 4711"},
      {R"({"materials": [{"parameters": {"1": {"shader": {"type": 5833, "colour": 1}}}}]})",
       "bad.json: /materials/0/parameters/1/shader/colour: unknown field"},
      {R"({"materials": [{"parameters": {"1": {"shader": {"type": 5833, "parameters": {"2": {"shader": 5}}}}}}]})",
       "bad.json: /materials/0/parameters/1/shader/parameters/2/shader: expected an object, not an integer"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.json);
    DocPtr doc = Load(c.json);
    EXPECT_FALSE(doc);
    EXPECT_EQ(error_, c.message);
  }
}

TEST_F(DocumentFileTest, LinksResolveOnceEveryNodeExists) {
  DocPtr doc = Load(R"({
    "objects": [
      {"type": 5140, "name": "A", "parameters": {"1": {"link": "C"}, "2": {"link": "A"}},
       "children": [{"type": 5140, "name": "C", "parameters": {"1": {"material": "M"}}}]},
      {"type": 5140, "name": "C"}
    ],
    "materials": [{"name": "M", "parameters": {"5": {"container": {"6": {"container": {"7": {"link": "A"}}}}}}}],
    "renderData": {"parameters": {"3": {"link": "C"}}}
  })");
  ASSERT_TRUE(doc) << error_;
  EXPECT_EQ(error_, "");
  BaseObject* a = doc->GetFirstObject();
  BaseObject* childC = a->GetDown();
  BaseMaterial* m = doc->GetFirstMaterial();
  // A forward link, a link to the node itself, a link to a material defined later.
  EXPECT_EQ(a->GetDataInstance()->GetLink(1, doc.get()), childC);
  EXPECT_EQ(a->GetDataInstance()->GetLink(2, doc.get()), a);
  EXPECT_EQ(childC->GetDataInstance()->GetLink(1, doc.get(), Mbase), m);
  EXPECT_EQ(doc->GetActiveRenderData()->GetDataInstance()->GetLink(3, doc.get()), childC);
  // A link two containers deep.
  const BaseContainer* inner = m->GetDataInstance()->GetContainerInstance(5);
  ASSERT_TRUE(inner);
  inner = inner->GetContainerInstance(6);
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->GetLink(7, doc.get()), a);
  EXPECT_EQ(inner->GetCount(), 1);
}

// Links among shared names reach the first node of the name, objects searched depth first.
TEST_F(DocumentFileTest, LinksReachTheFirstNodeOfTheirName) {
  DocPtr doc = Load(R"({"objects": [
    {"type": 5140, "name": "A", "parameters": {"1": {"link": "N"}, "2": {"material": "M"}},
     "children": [{"type": 5140, "name": "B", "children": [{"type": 5140, "name": "N"}]}]},
    {"type": 5140, "name": "N"}], "materials": [{"name": "M"}, {"name": "M"}]})");
  ASSERT_TRUE(doc) << error_;
  const BaseContainer* bc = doc->GetFirstObject()->GetDataInstance();
  EXPECT_EQ(bc->GetLink(1, doc.get()), doc->GetFirstObject()->GetDown()->GetDown());
  EXPECT_EQ(bc->GetLink(2, doc.get(), Mbase), doc->GetFirstMaterial());
}

// Where each node stands: "o0.1" the second child of the first object, "o0.1/t2" its third tag,
// "m1" the second material, "rd" the render data.
void Places(BaseObject* op, const std::string& parent, std::map<BaseList2D*, std::string>& at) {
  for (int i = 0; op; op = op->GetNext(), ++i) {
    const std::string place = parent + std::to_string(i);
    at[op] = place;
    int t = 0;
    for (BaseTag* tag = op->GetFirstTag(); tag; tag = tag->GetNext())
      at[tag] = place + "/t" + std::to_string(t++);
    Places(op->GetDown(), place + ".", at);
  }
}

void ContainerLinks(const BaseContainer& bc, const std::string& from, BaseDocument* doc,
                    const std::map<BaseList2D*, std::string>& at, std::vector<std::string>& out) {
  for (LONG i = 0; i < bc.GetCount(); ++i) {
    const GeData* v = bc.GetIndexData(i);
    const std::string id = from + " " + std::to_string(bc.GetIndexId(i));
    if (v->GetType() == DA_CONTAINER) ContainerLinks(*v->GetContainer(), id, doc, at, out);
    if (v->GetType() != DA_ALIASLINK) continue;
    const auto target = at.find(v->GetLink(doc));
    out.push_back(id + " -> " + (target == at.end() ? "?" : target->second));
  }
}

// Every link of `doc` as "SOURCE IDS -> TARGET", and the scene camera as "camera -> TARGET".
std::vector<std::string> LinksOf(BaseDocument* doc) {
  std::map<BaseList2D*, std::string> at;
  Places(doc->GetFirstObject(), "o", at);
  int m = 0;
  for (BaseMaterial* mat = doc->GetFirstMaterial(); mat; mat = mat->GetNext())
    at[mat] = "m" + std::to_string(m++);
  at[doc->GetActiveRenderData()] = "rd";
  std::vector<std::string> links;
  for (const auto& [node, place] : at) ContainerLinks(*node->GetDataInstance(), place, doc, at, links);
  if (BaseObject* cam = doc->GetRenderBaseDraw()->GetSceneCamera(doc))
    links.push_back("camera -> " + at[cam]);
  std::sort(links.begin(), links.end());
  return links;
}

// Saved and loaded again, every link reaches the node it reached, whatever names nodes share.
TEST_F(DocumentFileTest, SavedLinksReachTheSameNodes) {
  const struct {
    const char* text;
    const char* insertFirst;  // a material of this name put in front after loading, as an import does
    std::vector<std::string> links;
  } cases[] = {
      // An imported material named like the one a tag links.
      {R"({"objects": [{"type": 5140, "tags": [{"type": 5616, "parameters": {"1010": {"material": "Red"}}}]}],
          "materials": [{"name": "Red"}]})",
       "Red",
       {"o0/t0 1010 -> m1"}},
      // Objects of one name, deep and after it, from a nested container and from the render data.
      {R"({"objects": [
            {"type": 5140, "name": "N", "parameters": {"1": {"link": "N", "index": 2},
              "2": {"container": {"3": {"index": 1, "link": "N"}}}},
             "children": [{"type": 5140, "name": "N"}]},
            {"type": 5140, "name": "N"}],
          "renderData": {"parameters": {"4": {"link": "N", "index": 1}}}})",
       nullptr,
       {"o0 1 -> o1", "o0 2 3 -> o0.0", "rd 4 -> o0.0"}},
      // Nodes without a name, linked by their index among the unnamed.
      {R"({"objects": [{"type": 5140, "name": "", "parameters": {"1": {"link": "", "index": 1}}},
                       {"type": 5140, "name": "", "parameters": {"1": {"material": "", "index": 0}}}],
          "materials": [{}, {"name": "M"}]})",
       nullptr,
       {"o0 1 -> o1", "o1 1 -> m0"}},
      // The second camera of a name.
      {R"({"objects": [{"type": 5103, "name": "Cam"}, {"type": 5140, "children": [{"type": 5103, "name": "Cam"}]}],
          "sceneCamera": "Cam", "sceneCameraIndex": 1})",
       nullptr,
       {"camera -> o1.0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    DocPtr doc = Load(c.text);
    ASSERT_TRUE(doc) << error_;
    if (c.insertFirst) {
      BaseMaterial* imported = BaseMaterial::Alloc(Mmaterial);
      imported->SetName(c.insertFirst);
      doc->InsertMaterial(imported);
    }
    ASSERT_EQ(LinksOf(doc.get()), c.links);
    std::string error;
    const std::string saved = host::SaveDocumentText(doc.get(), &error);
    ASSERT_EQ(error, "");
    DocPtr reloaded = Load(saved);
    ASSERT_TRUE(reloaded) << error_ << "\n" << saved;
    EXPECT_EQ(LinksOf(reloaded.get()), c.links) << saved;
  }
}

// A text holding a NUL character would not load again, so it is not saved.
TEST_F(DocumentFileTest, ATextWithANulIsNotSaved) {
  DocPtr doc = Load(R"({"objects": [{"type": 5140}]})");
  ASSERT_TRUE(doc) << error_;
  doc->GetFirstObject()->GetDataInstance()->SetString(1, String(std::string("A\0B", 3)));
  std::string error;
  EXPECT_EQ(host::SaveDocumentText(doc.get(), &error), "");
  EXPECT_EQ(error, "a NUL character after \"A\", which a document file cannot hold");
}

TEST_F(DocumentFileTest, DanglingLinkFailsAfterEverythingWasBuilt) {
  RegisterTestPlugins();
  DocPtr doc = Load(R"({
    "objects": [{"type": 1099000, "name": "P", "parameters": {"7": {"link": "P"}}},
                {"type": 1099000, "name": "Q", "parameters": {"7": {"container": {"8": {"link": "a\"b"}}}}}]
  })");
  EXPECT_FALSE(doc);
  EXPECT_EQ(error_, "bad.json: /objects/1/parameters/7/container/8/link: no object named \"a\\\"b\"");
  // Both plug-in objects were built and freed with the partly built document.
  EXPECT_EQ(g_freed, 2);
}

TEST_F(DocumentFileTest, PluginTypesNeedTheirRegistration) {
  const char* text = R"({"objects": [{"type": 1099000, "parameters": {"2": "file", "3": {"real": 0.5}}}]})";
  DocPtr doc = Load(text);
  EXPECT_FALSE(doc);
  EXPECT_EQ(error_, "bad.json: /objects/0/type: unknown object type 1099000");

  RegisterTestPlugins();
  doc = Load(text);
  ASSERT_TRUE(doc) << error_;
  BaseObject* op = doc->GetFirstObject();
  EXPECT_EQ(op->GetType(), kTestObject);
  EXPECT_NE(op->GetNodeData(), nullptr);
  // Init's defaults come first; the file's values override them in place.
  BaseContainer expected;
  expected.SetLong(1, 10);
  expected.SetString(2, "file");
  expected.SetReal(3, 0.5);
  ExpectSameContainer(*op->GetDataInstance(), expected);
  doc.reset();
  EXPECT_EQ(g_freed, 1);

  doc = Load(R"({"objects": [{"type": 1099000}, {"type": 1099002}]})");
  EXPECT_FALSE(doc);
  EXPECT_EQ(error_, "bad.json: /objects/1/type: object type 1099002 failed to initialise");
  EXPECT_EQ(g_freed, 2);
}

TEST_F(DocumentFileTest, UvwTagCoversEveryPolygon) {
  DocPtr doc = Load(R"({"objects": [
    {"type": 5100, "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "polygons": [[0, 1, 2], [2, 1, 0]],
     "tags": [{"type": 5671}, {"type": 5612, "name": "Phong", "parameters": {"1": true}}]},
    {"type": 5140, "tags": [{"type": 5671, "uvw": []}]}
  ]})");
  ASSERT_TRUE(doc) << error_;
  auto* mesh = static_cast<PolygonObject*>(doc->GetFirstObject());
  // Without a uvw list the tag still has one zeroed entry per polygon.
  auto* uvw = static_cast<UVWTag*>(mesh->GetTag(Tuvw));
  ASSERT_TRUE(uvw);
  EXPECT_EQ(uvw->GetDataCount(), 2);
  EXPECT_EQ(uvw->GetSlow(1).d, LVector());
  EXPECT_EQ(uvw->GetNext(), mesh->GetTag(Tphong));
  EXPECT_EQ(mesh->GetTag(Tphong)->GetName(), String("Phong"));
  EXPECT_EQ(mesh->GetTag(Tphong)->GetDataInstance()->GetLong(1), 1);
  // A UVW tag on an object without polygons is empty.
  auto* emptyUvw = static_cast<UVWTag*>(mesh->GetNext()->GetTag(Tuvw));
  ASSERT_TRUE(emptyUvw);
  EXPECT_EQ(emptyUvw->GetDataCount(), 0);
}

// `levels` nested objects, each the only child of the one above.
std::string NestedObjects(int levels) {
  std::string text = R"({"objects":[)";
  for (int i = 1; i < levels; ++i) text += R"({"type":5140,"children":[)";
  text += R"({"type":5140})";
  for (int i = 1; i < levels; ++i) text += "]}";
  return text + "]}";
}

TEST_F(DocumentFileTest, NestingIsBoundedBeforeParsing) {
  // 255 object levels reach 511 levels of JSON nesting and load.
  DocPtr doc = Load(NestedObjects(255));
  ASSERT_TRUE(doc) << error_;
  int depth = 0;
  for (BaseObject* op = doc->GetFirstObject(); op; op = op->GetDown()) ++depth;
  EXPECT_EQ(depth, 255);

  // Saved, an object level costs two levels of nesting and an object's matrix two more: 254 object
  // levels reach 512 and load back; at 255 the save is refused with the loader's words.
  std::string error = "(unchanged)";
  EXPECT_EQ(host::SaveDocumentText(doc.get(), &error), "");
  EXPECT_EQ(error,
            "nesting deeper than 512 levels in an object without a name at level 255 of the object tree, "
            "which a document file cannot hold");
  doc = Load(NestedObjects(254));
  ASSERT_TRUE(doc) << error_;
  const std::string saved = host::SaveDocumentText(doc.get(), &error);
  ASSERT_EQ(error, "");
  doc = Load(saved);
  ASSERT_TRUE(doc) << error_;
  depth = 0;
  for (BaseObject* op = doc->GetFirstObject(); op; op = op->GetDown()) ++depth;
  EXPECT_EQ(depth, 254);
  // Containers nested in memory beyond what a file holds: the save names the material.
  doc = Load(R"({"materials": [{"name": "Deep"}]})");
  ASSERT_TRUE(doc) << error_;
  BaseContainer nested;
  for (int i = 0; i < 260; ++i) {
    BaseContainer outer;
    outer.SetContainer(1, nested);
    nested = outer;
  }
  doc->GetFirstMaterial()->GetDataInstance()->SetContainer(1, nested);
  EXPECT_EQ(host::SaveDocumentText(doc.get(), &error), "");
  EXPECT_EQ(error,
            "nesting deeper than 512 levels in the material \"Deep\", which a document file cannot hold");

  // One more reaches 513; the bracket that goes too deep is named.
  doc = Load(NestedObjects(256));
  EXPECT_FALSE(doc);
  EXPECT_EQ(error_, "bad.json: parse error at line 1, column 6388: nesting deeper than 512 levels");
  doc = Load(NestedObjects(10000));
  EXPECT_FALSE(doc);
  EXPECT_EQ(error_, "bad.json: parse error at line 1, column 6388: nesting deeper than 512 levels");
  doc = Load(std::string(100000, '['));
  EXPECT_EQ(error_, "bad.json: parse error at line 1, column 513: nesting deeper than 512 levels");
  std::string keys;
  for (int i = 0; i < 100000; ++i) keys += R"({"a":)";
  doc = Load(R"({"parameters": )" + keys);
  EXPECT_EQ(error_, "bad.json: parse error at line 1, column 2571: nesting deeper than 512 levels");

  // Brackets inside strings, also after an escaped quote, are text.
  const std::string name = "\\\"" + std::string(1000, '[') + "{";
  doc = Load(R"({"objects": [{"type": 5140, "name": ")" + name + R"("}]})");
  ASSERT_TRUE(doc) << error_;
  EXPECT_EQ(doc->GetFirstObject()->GetName(), String("\"" + std::string(1000, '[') + "{"));
}

TEST_F(DocumentFileTest, NoInputCrashesOrLeaks) {
  RegisterTestPlugins();
  std::string full;
  {
    std::string error;
    DocPtr doc(host::LoadDocumentFile(CORVANE_TEST_DATA "/documents/full.json", &error));
    ASSERT_TRUE(doc) << error;
    FILE* f = fopen(CORVANE_TEST_DATA "/documents/full.json", "rb");
    ASSERT_TRUE(f);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) full.append(buf, n);
    fclose(f);
  }
  // Every prefix of the file, and the file with one character replaced at every place: a document
  // or a one-line error, never a crash (the sanitizers watch for leaks and bad accesses).
  std::vector<std::string> inputs;
  for (size_t i = 0; i < full.size(); ++i) inputs.push_back(full.substr(0, i));
  const char replacements[] = {'9', '-', '"', '}', ']', '{', 'x'};
  for (size_t i = 0; i < full.size(); ++i) {
    std::string mutated = full;
    mutated[i] = replacements[i % sizeof replacements];
    inputs.push_back(mutated);
  }
  size_t loaded = 0;
  for (const std::string& text : inputs) {
    std::string error;
    DocPtr doc(host::LoadDocumentText(text, "m.json", &error));
    if (doc) {
      ++loaded;
      EXPECT_EQ(error, "");
    } else {
      ASSERT_EQ(error.rfind("m.json: ", 0), 0u) << error;
      ASSERT_EQ(error.find('\n'), std::string::npos) << error;
    }
  }
  EXPECT_GT(loaded, 0u);
  EXPECT_LT(loaded, inputs.size());
}

TEST_F(DocumentFileTest, FilesThatCannotBeRead) {
  std::string error;
  EXPECT_EQ(host::LoadDocumentFile("/nonexistent/shot.json", &error), nullptr);
  EXPECT_EQ(error, "/nonexistent/shot.json: cannot open the file");
  EXPECT_EQ(host::LoadDocumentFile(CORVANE_TEST_DATA "/documents", &error), nullptr);
  EXPECT_EQ(error, CORVANE_TEST_DATA "/documents: not a regular file");
  // The error line is optional.
  EXPECT_EQ(host::LoadDocumentText("{", "x.json", nullptr), nullptr);
  // A FIFO without a writer is refused at once, never waited on.
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo.json").c_str(), 0600), 0);
  EXPECT_EQ(host::LoadDocumentFile(dir / "fifo.json", &error), nullptr);
  EXPECT_EQ(error, dir / "fifo.json: not a regular file");
  // In a folder anyone may write to, another user's link (to root's 0600 document) is not followed;
  // another user's document there is read, as that exposes nothing.
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's files needs root";
  const std::string shared = dir / "shared";
  ASSERT_EQ(::mkdir(shared.c_str(), 01777) | ::chmod(shared.c_str(), 01777), 0);
  std::ofstream(dir / "private.json") << "{}";
  std::ofstream(shared + "/theirs.json") << "{}";
  ASSERT_EQ(::chmod((dir / "private.json").c_str(), 0600) |
                ::symlink((dir / "private.json").c_str(), (shared + "/shot.json").c_str()) |
                ::lchown((shared + "/shot.json").c_str(), 65534, 65534) |
                ::lchown((shared + "/theirs.json").c_str(), 65534, 65534),
            0);
  EXPECT_EQ(host::LoadDocumentFile(shared + "/shot.json", &error), nullptr);
  EXPECT_EQ(error, shared + "/shot.json: the link " + shared + "/shot.json belongs to another user (nobody)");
  BaseDocument* theirs = host::LoadDocumentFile(shared + "/theirs.json", &error);
  EXPECT_NE(theirs, nullptr) << error;
  BaseDocument::Free(theirs);
}

// A file's path in `dir` after writing `text` to it.
std::string WriteFile(const TempDir& dir, const std::string& name, const std::string& text) {
  std::ofstream(dir / name, std::ios::binary) << text;
  return dir / name;
}

// A file that starts with a byte-order mark reads as if it had none, its errors placed alike.
TEST_F(DocumentFileTest, AByteOrderMarkIsReadPast) {
  TempDir dir;
  std::string error;
  for (const std::string start : {"", "\xEF\xBB\xBF"}) {
    EXPECT_TRUE(DocPtr(host::LoadDocumentFile(WriteFile(dir, "a.json", start + "{}"), &error))) << error;
    const std::string path = WriteFile(dir, "b.json", start + "{x}");
    EXPECT_EQ(host::LoadDocumentFile(path, &error), nullptr);
    EXPECT_EQ(error, path + ": parse error at line 1, column 2: missing a name for object member");
  }
}

TEST_F(DocumentFileTest, InputIsBoundedInSizeAndFrames) {
  // The last frames the host counts still load, and a frame saves as it loaded.
  EXPECT_TRUE(Load(R"({"fps": 1, "renderData": {"parameters": {"5018": {"time": 2147483647}}}})")) << error_;
  DocPtr doc = Load(R"({"fps": 7, "frame": 999999999, "maxFrame": 2147483647})");
  ASSERT_TRUE(doc) << error_;
  EXPECT_NE(host::SaveDocumentText(doc.get(), &error_).find("\"frame\": 999999999,"), std::string::npos);

  // A device of endless zeros is not opened; a file beyond 2 GiB is refused unread.
  std::string error;
  EXPECT_EQ(host::LoadDocumentFile("/dev/zero", &error), nullptr);
  EXPECT_EQ(error, "/dev/zero: not a regular file");
  TempDir dir;
  const std::string big = WriteFile(dir, "big.json", "{}");
  ASSERT_EQ(truncate(big.c_str(), static_cast<off_t>(host::kDocumentFileMaxBytes) + 1), 0);
  EXPECT_EQ(host::LoadDocumentFile(big, &error), nullptr);
  EXPECT_EQ(error, big + ": the document is larger than the limit of 2147483648 bytes");
}

// Arrays of short number arrays are kept packed: every mix of them reads as plain arrays do.
TEST_F(DocumentFileTest, PackedNumberArraysReadAsPlainArrays) {
  DocPtr doc = Load(R"({"objects": [{"type": 5100, "name": "M",
    "points": [[0, 0, 0], [1, 0, 0], [1, 1.5, 0], [0, 1, 1e3], [-2, 3, 4]],
    "polygons": [[0, 1, 2], [0, 1, 2, 3], [4, 3, 2]],
    "parameters": {"1": [1, 2, 3], "2": {"container": {"3": [4, 5.5, 6]}}}}]})");
  ASSERT_TRUE(doc) << error_;
  PolygonObject* m = static_cast<PolygonObject*>(doc->GetFirstObject());
  ASSERT_EQ(m->GetPointCount(), 5);
  EXPECT_EQ(m->GetPointR()[2], LVector(1, 1.5, 0));
  EXPECT_EQ(m->GetPointR()[3], LVector(0, 1, 1000));
  EXPECT_EQ(m->GetPointR()[4], LVector(-2, 3, 4));
  ASSERT_EQ(m->GetPolygonCount(), 3);
  EXPECT_EQ(m->GetPolygonR()[0].d, 2);
  EXPECT_EQ(m->GetPolygonR()[1].d, 3);
  EXPECT_EQ(m->GetPolygonR()[2].a, 4);
  EXPECT_EQ(m->GetDataInstance()->GetVector(1), LVector(1, 2, 3));
  EXPECT_EQ(m->GetDataInstance()->GetContainerInstance(2)->GetVector(3), LVector(4, 5.5, 6));
}

// Many keys in one object: found in order, a duplicate or an unknown one named (no step grows with
// the square of the keys, so this runs in well under a second even with the sanitizers).
TEST_F(DocumentFileTest, ObjectsWithManyKeys) {
  const int n = 200000;
  std::string params;
  for (int i = 0; i < n; ++i)
    params += (i ? ",\"" : "\"") + std::to_string(n - i) + "\":" + std::to_string(i);
  DocPtr doc = Load(R"({"objects": [{"type": 5140, "parameters": {)" + params + "}}]}");
  ASSERT_TRUE(doc) << error_;
  const BaseContainer* bc = doc->GetFirstObject()->GetDataInstance();
  EXPECT_EQ(bc->GetLong(n), 0);
  EXPECT_EQ(bc->GetLong(1), n - 1);
  EXPECT_EQ(bc->GetIndexId(bc->FindIndex(n)), n);
  EXPECT_EQ(bc->GetIndexId(bc->FindIndex(n) + 1), n - 1);

  EXPECT_FALSE(Load(R"({"objects": [{"type": 5140, "parameters": {)" + params + ",\"77\":1}}]}"));
  EXPECT_EQ(error_, "bad.json: /objects/0/parameters/77: the key is given twice");
  EXPECT_FALSE(Load(R"({"objects": [{"type": 5140, "parameters": {)" + params + ",\"077\":1}}]}"));
  EXPECT_EQ(error_, "bad.json: /objects/0/parameters/077: parameter 77 is given twice");
  std::string unknown;
  for (int i = 0; i < n; ++i) unknown += ",\"f" + std::to_string(i) + "\":1";
  EXPECT_FALSE(Load(R"({"objects": [{"type": 5140)" + unknown + "}]}"));
  EXPECT_EQ(error_, "bad.json: /objects/0/f0: unknown field");
}

TEST_F(DocumentFileTest, ShadersUnderMaterialsLoadAndSaveBack) {
  TempDir dir;
  const std::string text = R"({"materials": [{"name": "Wood", "parameters": {
      "8000": {"shader": {"type": 5833, "name": "Grain", "parameters": {
        "1000": {"filename": "tex/wood.png"},
        "1001": {"shader": {"type": 5833, "name": "Inner", "parameters": {"1000": {"filename": "/abs/x.png"}}}}}}},
      "8001": {"container": {"1": {"shader": {"type": 5833, "name": "Deep"}}}}}}],
    "objects": [{"type": 5100, "name": "M", "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "polygons": [[0, 1, 2]],
      "tags": [{"type": 5616, "parameters": {"1010": {"material": "Wood"}}}]}]})";
  const std::string path = WriteFile(dir, "shot.json", text);
  std::string error;
  DocPtr doc(host::LoadDocumentFile(path, &error));
  ASSERT_TRUE(doc) << error;
  BaseMaterial* mat = doc->GetFirstMaterial();
  BaseShader* grain = static_cast<BaseShader*>(mat->GetDataInstance()->GetLink(8000, doc.get(), Xbase));
  ASSERT_NE(grain, nullptr);
  EXPECT_EQ(grain->GetName(), String("Grain"));
  EXPECT_EQ(grain->GetUp(), mat);
  EXPECT_EQ(grain->GetDataInstance()->GetFilename(1000).GetString(), String(dir / "tex/wood.png"));
  BaseShader* inner = static_cast<BaseShader*>(grain->GetDataInstance()->GetLink(1001, doc.get(), Xbase));
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->GetUp(), grain);
  EXPECT_EQ(inner->GetDataInstance()->GetFilename(1000).GetString(), String("/abs/x.png"));
  BaseList2D* deep = mat->GetDataInstance()->GetContainerInstance(8001)->GetLink(1, doc.get(), Xbase);
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(deep->GetUp(), mat);
  EXPECT_EQ(grain->GetNext(), deep);

  // Saved, loaded and saved again: the same text, so the same document.
  const std::string saved = host::SaveDocumentText(doc.get(), &error);
  ASSERT_EQ(error, "");
  const std::string again = WriteFile(dir, "again.json", saved);
  DocPtr reloaded(host::LoadDocumentFile(again, &error));
  ASSERT_TRUE(reloaded) << error << "\n" << saved;
  EXPECT_EQ(host::SaveDocumentText(reloaded.get(), &error), saved);
  BaseMaterial* mat2 = reloaded->GetFirstMaterial();
  BaseList2D* grain2 = mat2->GetDataInstance()->GetLink(8000, reloaded.get(), Xbase);
  ASSERT_NE(grain2, nullptr);
  EXPECT_EQ(grain2->GetDataInstance()->GetFilename(1000).GetString(), String(dir / "tex/wood.png"));

  // A name that text in memory keeps as written names the image beside the document's folder; it is
  // saved from the root, so a saved file in another folder still names that image.
  std::ofstream(dir / "tex.png") << "image";
  const std::string typedText =
      R"({"path": ")" + dir.path() + R"(", "materials": [{"name": "M", "parameters": {
      "8000": {"shader": {"type": 5833, "parameters": {"1000": {"filename": "tex.png"}}}}}}]})";
  DocPtr typed(host::LoadDocumentText(typedText, "typed.json", &error));
  ASSERT_TRUE(typed) << error;
  TempDir elsewhere;
  DocPtr moved(host::LoadDocumentFile(
      WriteFile(elsewhere, "moved.json", host::SaveDocumentText(typed.get(), &error)), &error));
  ASSERT_TRUE(moved) << error;
  BaseList2D* image = moved->GetFirstMaterial()->GetDataInstance()->GetLink(8000, moved.get(), Xbase);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetDataInstance()->GetFilename(1000).GetString(), String(dir / "tex.png"));
}

TEST_F(DocumentFileTest, FullDocumentSavesAndLoadsBackTheSame) {
  RegisterTestPlugins();
  std::string error;
  DocPtr doc(host::LoadDocumentFile(CORVANE_TEST_DATA "/documents/full.json", &error));
  ASSERT_TRUE(doc) << error;
  const std::string saved = host::SaveDocumentText(doc.get(), &error);
  ASSERT_EQ(error, "");
  DocPtr reloaded(host::LoadDocumentText(saved, "saved.json", &error));
  ASSERT_TRUE(reloaded) << error << "\n" << saved;
  EXPECT_EQ(host::SaveDocumentText(reloaded.get(), &error), saved);
  // Where names are unique, links are written by name alone: the text is the one earlier versions
  // wrote, which other programs read.
  std::ifstream golden(CORVANE_TEST_DATA "/documents/full.saved.json", std::ios::binary);
  EXPECT_EQ(saved, std::string(std::istreambuf_iterator<char>(golden), {}));

  // Node by node: the same tree, names, matrices, parameters and meshes.
  std::vector<std::pair<BaseObject*, BaseObject*>> pending = {
      {doc->GetFirstObject(), reloaded->GetFirstObject()}};
  size_t objects = 0;
  while (!pending.empty()) {
    auto [a, b] = pending.back();
    pending.pop_back();
    for (; a || b; a = a->GetNext(), b = b->GetNext()) {
      ASSERT_TRUE(a && b);
      ++objects;
      EXPECT_EQ(a->GetName(), b->GetName());
      EXPECT_EQ(a->GetType(), b->GetType());
      EXPECT_EQ(a->GetMl(), b->GetMl());
      EXPECT_EQ(a->GetDataInstance()->GetCount(), b->GetDataInstance()->GetCount());
      if (a->GetType() == Opolygon) {
        PolygonObject* pa = static_cast<PolygonObject*>(a);
        PolygonObject* pb = static_cast<PolygonObject*>(b);
        ASSERT_EQ(pa->GetPointCount(), pb->GetPointCount());
        for (LONG i = 0; i < pa->GetPointCount(); ++i) EXPECT_EQ(pa->GetPointR()[i], pb->GetPointR()[i]);
      }
      if (a->GetDown()) pending.push_back({a->GetDown(), b->GetDown()});
    }
  }
  EXPECT_GT(objects, 3u);
  EXPECT_EQ(reloaded->GetFps(), doc->GetFps());
  EXPECT_EQ(reloaded->GetTime(), doc->GetTime());

  // Saving to a file goes through a temporary file; a folder that is missing is an error.
  TempDir dir;
  EXPECT_TRUE(host::SaveDocumentFile(doc.get(), dir / "out.json", &error)) << error;
  DocPtr fromFile(host::LoadDocumentFile(dir / "out.json", &error));
  EXPECT_TRUE(fromFile) << error;
  EXPECT_FALSE(host::SaveDocumentFile(doc.get(), dir / "no/out.json", &error));
  EXPECT_EQ(error, dir / "no/out.json: cannot write the file: No such file or directory");
}

}  // namespace

// Every number is read as the nearest double, as Python's float() reads its text, whatever its
// length; integers within 32 bits stay integers. Numbers are read alike in a parameter and in a
// packed point array. Beyond the double range a number is an error at its place.
TEST_F(DocumentFileTest, NumbersReadAsTheNearestDouble) {
  const struct {
    std::string text;
    double value;
    LONG type = DA_REAL;  // DA_NIL: an integer beyond 64 bits, refused as a parameter, given as {"real": ...}
  } numbers[] = {
      {"0." + std::string(350, '0') + "1", 0.0},
      {"128.74836467836484838364836483643636483648e-336", 0.0},
      {"0.0000000000000000000000000000", 0.0},
      {"0e100", 0.0},
      {"1" + std::string(400, '0') + "e-400", 1.0},
      {"0." + std::string(400, '0') + "1e400", 0.1},
      {"-0", -0.0},
      {"-0.0", -0.0},
      {"-1e-400", -0.0},
      {"0.30000000000000004", 0.30000000000000004},
      {"1.00000000000000011102230246251565404236316680908203125", 1.0},
      {"1.00000000000000011102230246251565404236316680908203126", 1.0000000000000002},
      {"7.038531e-26", 7.038531e-26},
      {"2.2250738585072011e-308", 2.225073858507201e-308},
      {"2.4703282292062328e-324", 5e-324},
      {"2.4703282292062327e-324", 0.0},
      {"1.7976931348623158e308", 1.7976931348623157e+308},
      {"123456789012345678901234567890", 1.2345678901234568e+29, DA_NIL},
      {"-9223372036854775809", -9.223372036854776e+18, DA_NIL},
      {"-2147483648", INT32_MIN, DA_LONG},
      {"0", 0, DA_LONG},
      {"2147483647", INT32_MAX, DA_LONG},
  };
  for (const auto& c : numbers) {
    SCOPED_TRACE(c.text);
    const std::string param = c.type == DA_NIL ? R"({"real": )" + c.text + "}" : c.text;
    DocPtr doc = Load(R"({"objects": [{"type": 5100, "parameters": {"1": )" + param + R"(}, "points": [[)" +
                      c.text + ", 0, 0]]}]}");
    ASSERT_TRUE(doc) << error_;
    const PolygonObject* m = static_cast<PolygonObject*>(doc->GetFirstObject());
    const GeData& p = m->GetDataInstance()->GetData(1);
    ASSERT_EQ(p.GetType(), c.type == DA_NIL ? DA_REAL : c.type);
    for (double d : {c.type == DA_LONG ? p.GetLong() : p.GetReal(), m->GetPointR()[0].x})
      EXPECT_TRUE(d == c.value && std::signbit(d) == std::signbit(c.value)) << d;
  }
  // A file is read in chunks of 1 MiB: numbers that run on into the next chunk, or end at its edge.
  TempDir dir;
  const std::string head = "{\"objects\": [{\"type\": 5100, \"points\": [[";
  for (size_t shift : {0, 1, 200, 401, 402}) {
    const std::string text = head + std::string((size_t(1) << 20) - head.size() - shift, ' ') + "1" +
                             std::string(400, '0') + "e-400, -0, 2.5]]}]}";
    std::string error;
    DocPtr doc(host::LoadDocumentFile(WriteFile(dir, "chunks.json", text), &error));
    ASSERT_TRUE(doc) << error;
    const LVector& p = static_cast<PolygonObject*>(doc->GetFirstObject())->GetPointR()[0];
    EXPECT_TRUE(p == LVector(1, 0, 2.5) && std::signbit(p.y)) << shift;
  }
  const ErrorCase refused[] = {
      {"{\"objects\": [{\"type\": 5100,\n \"points\": [[0, 0, 1e400]]}]}",
       "line 2, column 20: number too big to be stored in double"},
      {"{\"frame\": -0.1e310}", "line 1, column 11: number too big to be stored in double"},
      {"{\"frame\": 1" + std::string(309, '0') + "}",
       "line 1, column 11: number too big to be stored in double"},
      {R"({"frame": -})", "line 1, column 12: invalid value"},
      {R"({"frame": 1.})", "line 1, column 13: a number needs digits after its decimal point"},
      {R"({"frame": 1e+})", "line 1, column 14: a number needs digits in its exponent"},
  };
  for (const ErrorCase& c : refused) {
    EXPECT_FALSE(Load(c.json));
    EXPECT_EQ(error_, "bad.json: parse error at " + std::string(c.message)) << c.json;
  }
}
