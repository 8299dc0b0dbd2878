// The light tag: its parameter set, the preview bitmap button and the IES preview.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/host_fixture.h"
#include "tag/mylighttag.h"
#include "tag/mylighttagids.h"

namespace {

// A 3 x 2 pixel PNG image.
const char kPng[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x03\x00\x00\x00\x02"
    "\x08\x02\x00\x00\x00\x12\x16\xf1\x4d\x00\x00\x00\x11\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\x00"
    "\x41\x30\xfa\x3f\x03\x00\x3e\xd5\x05\xfb\xa8\x2e\x2f\x4d\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42"
    "\x60\x82";

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

class LightTagTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterMyLightTag());
    doc = BaseDocument::Alloc();
    light = BaseObject::Alloc(Olight);
    doc->InsertObject(light, nullptr, nullptr);
    tag = light->MakeTag(ID_MYLIGHTTAG);
    ASSERT_TRUE(tag);
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }

  // Asks the tag for the image of its preview bitmap button; the bitmap handed over, or null.
  BaseBitmap* RequestPreview(LONG id = LIGHTTAG_IES_PREVIEW_BITMAP) {
    DescriptionGetBitmap request;
    request.id = DescID(DescLevel(id));
    EXPECT_TRUE(tag->Message(MSG_DESCRIPTION_GETBITMAP, &request));
    return request.bmp;
  }

  BaseDocument* doc = nullptr;
  BaseObject* light = nullptr;
  BaseTag* tag = nullptr;
};

TEST_F(LightTagTest, NewTagHoldsItsDefaults) {
  const BaseContainer& bc = *tag->GetDataInstance();
  struct Entry {
    LONG id;
    GeData value;
  };
  const Entry expected[] = {
      {LIGHTTAG_EMISSION_TYPE, LONG(1217)},       {LIGHTTAG_RGB_COLOR, LVector(1, 1, 1)},
      {LIGHTTAG_RGB_GAMMA, 2.2},                  {LIGHTTAG_UNIFORM_VALUE, 1.0},
      {LIGHTTAG_BLACKBODY_TEMPERATURE, 6500.0},   {LIGHTTAG_BLACKBODY_GAIN, 1.0},
      {LIGHTTAG_PEAK, 300.0},                     {LIGHTTAG_PEAK_WIDTH, 550.0},
      {LIGHTTAG_PEAK_VALUE, 200.0},               {LIGHTTAG_PEAK_BASE, 0.0},
      {LIGHTTAG_SCALE_MEASURE, LONG(1305)},       {LIGHTTAG_SCALE_VALUE, 100.0},
      {LIGHTTAG_IES, false},                      {LIGHTTAG_EMISSION_SCALE, false},
      {LIGHTTAG_LAYER, LONG(0)},
  };
  // Exactly these entries, in this order: nothing else is set until the user sets it.
  ASSERT_EQ(bc.GetCount(), LONG(std::size(expected)));
  for (LONG i = 0; i < bc.GetCount(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(bc.GetIndexId(i), expected[i].id);
    EXPECT_TRUE(*bc.GetIndexData(i) == expected[i].value);
  }
  EXPECT_EQ(bc.GetDataPointer(LIGHTTAG_IES_FILE), nullptr);
  EXPECT_EQ(bc.GetDataPointer(LIGHTTAG_IES_PREVIEW), nullptr);
}

TEST_F(LightTagTest, PreviewBitmapButtonHoldsNoValue) {
  GeData value;
  ASSERT_TRUE(tag->GetParameter(DescID(DescLevel(LIGHTTAG_IES_PREVIEW_BITMAP)), value));
  EXPECT_EQ(value.GetType(), CUSTOMDATATYPE_BITMAPBUTTON);
  auto* button = static_cast<BitmapButtonStruct*>(value.GetCustomDataType(CUSTOMDATATYPE_BITMAPBUTTON));
  ASSERT_TRUE(button);
  EXPECT_EQ(button->op, tag);
  EXPECT_EQ(button->desc[0].id, LIGHTTAG_IES_PREVIEW_BITMAP);
  EXPECT_EQ(button->dirty, 0);

  // Setting it stores nothing; every other parameter goes to the container as usual.
  const LONG before = tag->GetDataInstance()->GetCount();
  EXPECT_TRUE(tag->SetParameter(DescID(DescLevel(LIGHTTAG_IES_PREVIEW_BITMAP)), GeData(LONG(5))));
  EXPECT_EQ(tag->GetDataInstance()->GetCount(), before);
  EXPECT_TRUE(tag->SetParameter(DescID(DescLevel(LIGHTTAG_LAYER)), GeData(LONG(4))));
  EXPECT_EQ(tag->GetDataInstance()->GetLong(LIGHTTAG_LAYER), 4);
  ASSERT_TRUE(tag->GetParameter(DescID(DescLevel(LIGHTTAG_SCALE_VALUE)), value));
  EXPECT_EQ(value.GetReal(), 100.0);
}

TEST_F(LightTagTest, PreviewBitmapIsHandedOverOnlyWhenItLoads) {
  TempDir dir;
  WriteFile(dir / "preview.png", std::string(kPng, sizeof kPng - 1));
  WriteFile(dir / "half.png", std::string(kPng, 12));
  WriteFile(dir / "text.png", "not an image");
  BaseContainer* bc = tag->GetDataInstance();

  // Without a preview path the tag looks for "NOPATH".
  EXPECT_EQ(RequestPreview(), nullptr);

  struct Case {
    const char* file;
    bool shown;
  };
  for (const Case& c : {Case{"missing.png", false}, Case{"half.png", false}, Case{"text.png", false},
                        Case{"preview.png", true}}) {
    SCOPED_TRACE(c.file);
    bc->SetFilename(LIGHTTAG_IES_PREVIEW, Filename(String(dir / c.file)));
    BaseBitmap* bmp = RequestPreview();
    EXPECT_EQ(bmp != nullptr, c.shown);
    if (bmp) {
      EXPECT_EQ(bmp->GetFilename(), Filename(String(dir / c.file)));
      EXPECT_EQ(bmp->GetBw(), 3);
      EXPECT_EQ(bmp->GetBh(), 2);
      BaseBitmap::Free(bmp);
    }
  }
  // Only the preview bitmap answers a bitmap request.
  EXPECT_EQ(RequestPreview(LIGHTTAG_IES_RENDER_BUTTON), nullptr);
}

}  // namespace
