// The texture tag, copies of nodes, object modes and generator caches.
#include <gtest/gtest.h>

#include "c4d.h"
#include "host_cache.h"
#include "host_control.h"
#include "host_document_file.h"

namespace {

constexpr LONG kShader = 1099101;
constexpr LONG kRefusingShader = 1099102;

// A shader whose plug-in state lives outside its container: copies must carry it over.
struct CountingShader : ShaderData {
  static NodeData* Alloc() { return new CountingShader; }
  Bool CopyTo(NodeData* dest, GeListNode*, GeListNode*, LONG) override {
    static_cast<CountingShader*>(dest)->state = state;
    return true;
  }
  int state = 0;
};
struct RefusingShader : ShaderData {
  static NodeData* Alloc() { return new RefusingShader; }
  Bool CopyTo(NodeData*, GeListNode*, GeListNode*, LONG) override { return false; }
};

class TextureTagTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    ASSERT_TRUE(RegisterShaderPlugin(kShader, "Counting", 0, CountingShader::Alloc, "", 0));
    ASSERT_TRUE(RegisterShaderPlugin(kRefusingShader, "Refusing", 0, RefusingShader::Alloc, "", 0));
    std::string error;
    doc = host::LoadDocumentText(R"({
      "materials": [{"type": 5703, "name": "Red"}, {"type": 5703, "name": "Blue"}],
      "objects": [{"type": 5100, "name": "Mesh", "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0]],
        "polygons": [[0, 1, 2]], "parameters": {"901": 1, "906": false},
        "tags": [{"type": 5671, "name": "UVW", "uvw": [[[0, 0, 0], [1, 0, 0], [1, 1, 0], [1, 1, 0]]]},
                 {"type": 5616, "name": "Tex", "parameters": {"1010": {"material": "Red"}, "1004": 2,
                   "1006": "sel", "1100": {"matrix": {"off": [1, 2, 3], "v1": [2, 0, 0],
                   "v2": [0, 2, 0], "v3": [0, 0, 2]}}}}],
        "children": [{"type": 5140, "name": "Child"}]}]})",
                                 "test", &error);
    ASSERT_NE(doc, nullptr) << error;
    mesh = static_cast<PolygonObject*>(doc->SearchObject("Mesh"));
    tag = static_cast<TextureTag*>(mesh->GetTag(Ttexture));
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    host::ResetAll();
  }
  BaseDocument* doc = nullptr;
  PolygonObject* mesh = nullptr;
  TextureTag* tag = nullptr;
};

TEST_F(TextureTagTest, NewTagsHaveTheirDefaults) {
  TextureTag* t = static_cast<TextureTag*>(BaseTag::Alloc(Ttexture));
  const BaseContainer* bc = t->GetDataInstance();
  EXPECT_EQ(bc->GetReal(TEXTURETAG_OFFSETX, -1), 0.0);
  EXPECT_EQ(bc->GetReal(TEXTURETAG_OFFSETY, -1), 0.0);
  EXPECT_EQ(bc->GetReal(TEXTURETAG_LENGTHX), 1.0);
  EXPECT_EQ(bc->GetReal(TEXTURETAG_LENGTHY), 1.0);
  EXPECT_EQ(bc->GetLong(TEXTURETAG_PROJECTION), TEXTURETAG_PROJECTION_UVW);
  EXPECT_FALSE(bc->GetString(TEXTURETAG_RESTRICTION, "x").Content());
  EXPECT_EQ(t->GetMl(), LMatrix());
  EXPECT_EQ(t->GetMaterial(), nullptr);
  TextureTag::Free(t);
  EXPECT_EQ(t, nullptr);
}

TEST_F(TextureTagTest, MaterialLinkIsWeakAndStaysInItsDocument) {
  BaseMaterial* red = doc->SearchMaterial("Red");
  EXPECT_EQ(tag->GetMaterial(), red);
  EXPECT_EQ(tag->GetMl().off, LVector(1, 2, 3));
  tag->SetMaterial(doc->SearchMaterial("Blue"));
  EXPECT_EQ(tag->GetMaterial(), doc->SearchMaterial("Blue"));

  BaseDocument* other = BaseDocument::Alloc();
  BaseMaterial* foreign = BaseMaterial::Alloc(Mmaterial);
  other->InsertMaterial(foreign);
  tag->SetMaterial(foreign);
  EXPECT_EQ(tag->GetMaterial(), nullptr);
  BaseDocument::Free(other);

  tag->SetMaterial(red);
  BaseMaterial::Free(red);
  EXPECT_EQ(tag->GetMaterial(), nullptr);
  tag->SetMaterial(nullptr);
  EXPECT_EQ(tag->GetMaterial(), nullptr);
}

TEST_F(TextureTagTest, CopiesCarryDataTagsChildrenAndPluginState) {
  TextureTag* tagCopy = static_cast<TextureTag*>(tag->GetClone());
  ASSERT_NE(tagCopy, nullptr);
  EXPECT_TRUE(tagCopy->GetData() == tag->GetData());
  EXPECT_EQ(tagCopy->GetName(), tag->GetName());
  EXPECT_EQ(tagCopy->GetObject(), nullptr);
  TextureTag::Free(tagCopy);

  BaseObject* copy = static_cast<BaseObject*>(mesh->GetClone());
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->GetType(), Opolygon);
  PolygonObject* poly = static_cast<PolygonObject*>(copy);
  EXPECT_EQ(poly->GetPointCount(), 3);
  EXPECT_EQ(poly->GetPointR()[2], LVector(1, 1, 0));
  EXPECT_EQ(poly->GetPolygonR()[0].c, 2);
  EXPECT_EQ(static_cast<UVWTag*>(copy->GetTag(Tuvw))->GetSlow(0).b, LVector(1, 0, 0));
  EXPECT_EQ(copy->GetTag(Ttexture)->GetDataInstance()->GetLong(TEXTURETAG_PROJECTION), 2);
  EXPECT_EQ(copy->GetTag(Tpoint, 1), nullptr);  // the original's data tags only, once
  ASSERT_NE(copy->GetDown(), nullptr);
  EXPECT_EQ(copy->GetDown()->GetName(), String("Child"));
  BaseObject::Free(copy);

  BaseObject* bare = static_cast<BaseObject*>(mesh->GetClone(COPYFLAGS_NO_HIERARCHY | COPYFLAGS_NO_BRANCHES));
  EXPECT_EQ(bare->GetDown(), nullptr);
  EXPECT_EQ(bare->GetFirstTag(), nullptr);
  BaseObject::Free(bare);

  // A material with its shader: the copy links its own copy of the shader.
  BaseMaterial* mat = doc->SearchMaterial("Blue");
  BaseShader* shader = BaseShader::Alloc(kShader);
  static_cast<CountingShader*>(shader->GetNodeData())->state = 7;
  shader->InsertUnder(mat);
  mat->GetDataInstance()->SetLink(MATERIAL_COLOR_SHADER, shader);
  BaseMaterial* matCopy = static_cast<BaseMaterial*>(mat->GetClone());
  BaseShader* shaderCopy = static_cast<BaseShader*>(matCopy->GetDown());
  ASSERT_NE(shaderCopy, nullptr);
  EXPECT_NE(shaderCopy, shader);
  EXPECT_EQ(static_cast<CountingShader*>(shaderCopy->GetNodeData())->state, 7);
  doc->InsertMaterial(matCopy);
  EXPECT_EQ(matCopy->GetDataInstance()->GetLink(MATERIAL_COLOR_SHADER, doc), shaderCopy);

  BaseShader::Alloc(kRefusingShader)->InsertUnderLast(mat);
  EXPECT_EQ(mat->GetClone(), nullptr);
  EXPECT_EQ(doc->GetClone(), nullptr);
}

TEST_F(TextureTagTest, RenderAndDeformModes) {
  EXPECT_EQ(mesh->GetRenderMode(), MODE_OFF);
  EXPECT_FALSE(mesh->GetDeformMode());
  BaseObject* child = mesh->GetDown();
  EXPECT_EQ(child->GetRenderMode(), MODE_UNDEF);
  EXPECT_TRUE(child->GetDeformMode());
  child->SetRenderMode(MODE_ON);
  child->SetDeformMode(FALSE);
  EXPECT_EQ(child->GetRenderMode(), MODE_ON);
  EXPECT_FALSE(child->GetDeformMode());
}

TEST_F(TextureTagTest, CachesBelongToTheirGeneratorAndLieInItsSpace) {
  BaseObject* gen = mesh->GetDown();
  gen->SetPos(LVector(10, 0, 0));
  BaseObject* top = BaseObject::Alloc(Onull);
  BaseObject* inner = BaseObject::Alloc(Onull);
  inner->InsertUnder(top);
  inner->SetPos(LVector(0, 5, 0));
  host::SetCache(gen, top);
  EXPECT_EQ(gen->GetCache(), top);
  EXPECT_EQ(top->GetCacheParent(), gen);
  EXPECT_EQ(inner->GetCacheParent(), gen);
  EXPECT_EQ(inner->GetMg().off, LVector(10, 5, 0));
  inner->SetMg(LMatrix(LVector(1, 1, 1), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));
  EXPECT_EQ(inner->GetMl().off, LVector(-9, 1, 1));
  EXPECT_EQ(top->GetDocument(), nullptr);

  host::SetCache(gen, BaseObject::Alloc(Onull));  // frees the former cache
  EXPECT_NE(gen->GetCache(), top);
  host::SetCache(gen, nullptr);
  EXPECT_EQ(gen->GetCache(), nullptr);
  host::SetCache(gen, BaseObject::Alloc(Onull));  // freed with the generator
}

}  // namespace
