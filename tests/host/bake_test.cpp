// Texture baking into images, and shader sampling.
#include <gtest/gtest.h>

#include <vector>

#include "c4d.h"
#include "host_control.h"
#include "host_document_file.h"

namespace {

constexpr LONG kShader = 1099201;
constexpr LONG kFailing = 1099202;

// Red: u; green: v; blue: 1 left of u = 0.3.
struct UvShader : ShaderData {
  static NodeData* Alloc() { return new UvShader; }
  LVector Output(BaseShader*, ChannelData* cd) override {
    return LVector(cd->p.x, cd->p.y, cd->p.x < 0.3 ? 1.0 : 0.0);
  }
};
struct FailingShader : ShaderData {
  static NodeData* Alloc() { return new FailingShader; }
  LONG InitRender(BaseShader*, InitRenderStruct*) override { return INITRENDERRESULT_ASSETMISSING; }
};

struct Breaking : BaseThread {
  Bool TestBreak() override { return true; }
};

class BakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    ASSERT_TRUE(RegisterShaderPlugin(kShader, "UV", 0, UvShader::Alloc, "", 0));
    ASSERT_TRUE(RegisterShaderPlugin(kFailing, "Failing", 0, FailingShader::Alloc, "", 0));
    // One quad; its texture coordinates cover the whole texture, its destination the left half.
    std::string error;
    doc = host::LoadDocumentText(R"({"materials": [{"type": 5703, "name": "M"}],
      "objects": [{"type": 5100, "name": "Quad",
        "points": [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]], "polygons": [[0, 1, 2, 3]],
        "tags": [{"type": 5671, "name": "tex", "uvw": [[[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]]]},
                 {"type": 5671, "name": "dest", "uvw": [[[0, 0, 0], [0, 1, 0], [0.5, 1, 0], [0.5, 0, 0]]]},
                 {"type": 5616, "name": "T", "parameters": {"1010": {"material": "M"}}}]},
        {"type": 5140, "name": "Null", "tags": [{"type": 5616}]}]})",
                                 "test", &error);
    ASSERT_NE(doc, nullptr) << error;
    quad = doc->SearchObject("Quad");
    tag = static_cast<TextureTag*>(quad->GetTag(Ttexture));
    texuvw = static_cast<UVWTag*>(quad->GetTag(Tuvw, 0));
    destuvw = static_cast<UVWTag*>(quad->GetTag(Tuvw, 1));
    mat = doc->SearchMaterial("M");
    shader = BaseShader::Alloc(kShader);
    shader->InsertUnder(mat);
    mat->GetDataInstance()->SetLink(MATERIAL_COLOR_SHADER, shader);
    settings.SetBool(BAKE_TEX_COLOR, TRUE);
    settings.SetLong(BAKE_TEX_WIDTH, 4);
    settings.SetLong(BAKE_TEX_HEIGHT, 2);
    bitmap = MultipassBitmap::Alloc(4, 2);
    for (LONG y = 0; y < 2; ++y)
      for (LONG x = 0; x < 4; ++x) bitmap->SetPixel(x, y, 9, 9, 9);
  }
  void TearDown() override {
    MultipassBitmap::Free(bitmap);
    BaseDocument::Free(doc);
    host::ResetAll();
  }
  // Prepares and bakes; answers the result of whichever step failed.
  LONG Bake(BaseThread* th = nullptr, BakeProgressHook* hook = nullptr, void* data = nullptr) {
    LONG err = -1;
    BaseDocument* bake = InitBakeTexture(doc, tag, texuvw, destuvw, settings, &err);
    if (!bake) return err;
    EXPECT_EQ(err, BAKE_TEX_ERR_NONE);
    err = BakeTexture(bake, settings, bitmap, th, hook, data);
    BaseDocument::Free(bake);
    return err;
  }
  LVector Pixel(LONG x, LONG y) const {
    LONG r, g, b;
    bitmap->GetPixel(x, y, &r, &g, &b);
    return LVector(r, g, b);
  }
  BaseDocument* doc = nullptr;
  BaseObject* quad = nullptr;
  TextureTag* tag = nullptr;
  UVWTag* texuvw = nullptr;
  UVWTag* destuvw = nullptr;
  BaseMaterial* mat = nullptr;
  BaseShader* shader = nullptr;
  BaseContainer settings;
  MultipassBitmap* bitmap = nullptr;
};

TEST_F(BakeTest, PreparingChecksItsInput) {
  TextureTag* loose = TextureTag::Alloc();
  TextureTag* onNull = static_cast<TextureTag*>(doc->SearchObject("Null")->GetTag(Ttexture));
  UVWTag* foreign = UVWTag::Alloc(1);
  BaseObject* other = PolygonObject::Alloc(0, 1);
  other->InsertTag(foreign);
  doc->InsertObject(other, nullptr, nullptr);
  struct Case {
    BaseDocument* doc;
    TextureTag* tag;
    UVWTag* tex;
    UVWTag* dest;
    LONG key;
    GeData value;
    LONG err;
  };
  const Case cases[] = {
      {nullptr, tag, texuvw, destuvw, 0, GeData(), BAKE_TEX_ERR_NO_DOC},
      {doc, loose, texuvw, destuvw, 0, GeData(), BAKE_TEX_ERR_NO_TEXTURE_TAG},
      {doc, onNull, texuvw, destuvw, 0, GeData(), BAKE_TEX_ERR_NO_OBJECT},
      {doc, tag, nullptr, destuvw, 0, GeData(), BAKE_TEX_ERR_NO_UVW_TAG},
      {doc, tag, texuvw, foreign, 0, GeData(), BAKE_TEX_ERR_NO_UVW_TAG},
      {doc, tag, texuvw, destuvw, BAKE_TEX_COLOR, GeData(FALSE), BAKE_TEX_ERR_NO_CHANNEL},
      {doc, tag, texuvw, destuvw, BAKE_TEX_WIDTH, GeData(0), BAKE_TEX_ERR_WRONG_SIZE},
      {doc, tag, texuvw, destuvw, BAKE_TEX_HEIGHT, GeData(16385), BAKE_TEX_ERR_WRONG_SIZE},
      {doc, tag, texuvw, destuvw, BAKE_TEX_U_MAX, GeData(0.0), BAKE_TEX_ERR_WRONG_SIZE},
      {doc, tag, texuvw, nullptr, 0, GeData(), BAKE_TEX_ERR_NONE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    BaseContainer bc = settings;
    if (c.key) bc.SetData(c.key, c.value);
    LONG err = -1;
    BaseDocument* bake = InitBakeTexture(c.doc, c.tag, c.tex, c.dest, bc, &err);
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(bake != nullptr, c.err == BAKE_TEX_ERR_NONE);
    BaseDocument::Free(bake);
  }
  tag->SetMaterial(nullptr);
  EXPECT_EQ(Bake(), BAKE_TEX_ERR_NO_MATERIAL);
  TextureTag::Free(loose);
}

TEST_F(BakeTest, BakesThePolygonWhereTheDestinationPlacesIt) {
  EXPECT_EQ(Bake(), BAKE_TEX_ERR_NONE);
  // The left half, sampled at the pixel centres in destination space: source u 0.25 and 0.75.
  EXPECT_EQ(Pixel(0, 0), LVector(64, 64, 255));
  EXPECT_EQ(Pixel(1, 1), LVector(191, 191, 0));
  EXPECT_EQ(Pixel(2, 0), LVector(9, 9, 9));
  EXPECT_EQ(Pixel(3, 1), LVector(9, 9, 9));

  // One ring of border takes the neighbour's colour; supersampling averages the samples.
  settings.SetLong(BAKE_TEX_PIXELBORDER, 1);
  settings.SetLong(BAKE_TEX_SUPERSAMPLING, 1);
  EXPECT_EQ(Bake(), BAKE_TEX_ERR_NONE);
  EXPECT_EQ(Pixel(0, 0).z, 128);  // two of four samples left of u = 0.3
  EXPECT_EQ(Pixel(2, 0), Pixel(1, 0));
  EXPECT_EQ(Pixel(3, 0), LVector(9, 9, 9));
}

TEST_F(BakeTest, TheBakeDocumentOutlivesTheOriginals) {
  LONG err = -1;
  BaseDocument* bake = InitBakeTexture(doc, tag, texuvw, texuvw, settings, &err);
  ASSERT_NE(bake, nullptr);
  BaseDocument::Free(doc);
  EXPECT_EQ(BakeTexture(bake, settings, bitmap), BAKE_TEX_ERR_NONE);
  EXPECT_EQ(Pixel(3, 0), LVector(223, 64, 0));
  BaseDocument::Free(bake);
  EXPECT_EQ(BakeTexture(nullptr, settings, bitmap), BAKE_TEX_ERR_NO_DOC);
}

TEST_F(BakeTest, ColourWithoutShaderFailuresBreaksAndProgress) {
  mat->GetDataInstance()->SetLink(MATERIAL_COLOR_SHADER, nullptr);
  mat->GetDataInstance()->SetVector(MATERIAL_COLOR_COLOR, LVector(1, 0.5, 0));
  EXPECT_EQ(Bake(), BAKE_TEX_ERR_NONE);
  EXPECT_EQ(Pixel(1, 0), LVector(255, 128, 0));

  BaseShader* failing = BaseShader::Alloc(kFailing);
  failing->InsertUnder(mat);
  mat->GetDataInstance()->SetLink(MATERIAL_COLOR_SHADER, failing);
  EXPECT_EQ(Bake(), BAKE_TEX_ERR_SHADER);
  mat->GetDataInstance()->SetLink(MATERIAL_COLOR_SHADER, shader);

  Breaking stop;
  EXPECT_EQ(Bake(&stop), BAKE_TEX_ERR_USERBREAK);
  EXPECT_EQ(Pixel(1, 0), LVector(255, 128, 0));  // untouched

  std::vector<LONG> percents;
  auto hook = [](LONG percent, void* data) { static_cast<std::vector<LONG>*>(data)->push_back(percent); };
  EXPECT_EQ(Bake(nullptr, hook, &percents), BAKE_TEX_ERR_NONE);
  EXPECT_EQ(percents, (std::vector<LONG>{0, 100}));

  MultipassBitmap* small = MultipassBitmap::Alloc(2, 2);
  std::swap(small, bitmap);
  EXPECT_EQ(Bake(), BAKE_TEX_ERR_WRONG_BITMAP);
  std::swap(small, bitmap);
  MultipassBitmap::Free(small);
}

TEST(MultipassBitmapTest, PixelsAreClampedAndBounded) {
  EXPECT_EQ(MultipassBitmap::Alloc(0, 5), nullptr);
  EXPECT_EQ(MultipassBitmap::Alloc(5, 40000), nullptr);
  MultipassBitmap* bm = MultipassBitmap::Alloc(3, 2);
  EXPECT_EQ(bm->GetBw(), 3);
  EXPECT_EQ(bm->GetBh(), 2);
  EXPECT_TRUE(bm->SetPixel(2, 1, -5, 128, 300));
  EXPECT_FALSE(bm->SetPixel(3, 0, 1, 1, 1));
  LONG r, g, b;
  bm->GetPixel(2, 1, &r, &g, &b);
  EXPECT_EQ(LVector(r, g, b), LVector(0, 128, 255));
  bm->GetPixel(1, 1, &r, &g, &b);
  EXPECT_EQ(LVector(r, g, b), LVector(0, 0, 0));
  bm->GetPixel(-1, 0, &r, &g, &b);
  EXPECT_EQ(r, 0);
  MultipassBitmap::Free(bm);
}

}  // namespace
