// Images: decoding JPEG, PNG and TIFF files, saving JPEG files, and the host's own shaders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "c4d.h"
#include "support/host_fixture.h"
#include "support/image_files.h"

namespace {

// An image whose every pixel differs.
std::vector<unsigned char> Pattern(int w, int h) {
  std::vector<unsigned char> rgb;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      rgb.push_back(static_cast<unsigned char>(x * 50));
      rgb.push_back(static_cast<unsigned char>(y * 100));
      rgb.push_back(200);
    }
  }
  return rgb;
}

// Flat 16 x 16 blocks of four colours, which JPEG keeps within a few levels.
std::vector<unsigned char> Blocks(int w, int h) {
  static const unsigned char colours[4][3] = {{250, 20, 20}, {20, 250, 20}, {20, 20, 250}, {128, 128, 128}};
  std::vector<unsigned char> rgb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k) rgb.push_back(colours[(x / 16 + 2 * (y / 16)) % 4][k]);
  return rgb;
}

// Compares the pixels, those within `margin` of a 16 x 16 block's border left out (JPEG blurs
// the colour there).
void ExpectPixels(const BaseBitmap& bm, const std::vector<unsigned char>& rgb, int tolerance,
                  int margin = 0) {
  auto inner = [margin](LONG v) { return v % 16 >= margin && v % 16 < 16 - margin; };
  for (LONG y = 0; y < bm.GetBh(); ++y) {
    for (LONG x = 0; x < bm.GetBw(); ++x) {
      if (!inner(x) || !inner(y)) continue;
      LONG c[3];
      bm.GetPixel(x, y, &c[0], &c[1], &c[2]);
      for (int k = 0; k < 3; ++k)
        EXPECT_LE(std::abs(c[k] - rgb[(static_cast<size_t>(y) * bm.GetBw() + x) * 3 + k]), tolerance)
            << x << "," << y << " channel " << k;
    }
  }
}

class BitmapTest : public HostTest {
 protected:
  TempDir dir;
};

TEST_F(BitmapTest, PngAndTiffFilesDecodeToTheirPixels) {
  const std::vector<unsigned char> rgb = Pattern(5, 3);
  ASSERT_TRUE(WritePngFile(dir / "a.png", 5, 3, rgb));
  ASSERT_TRUE(WriteTiffFile(dir / "a.tif", 5, 3, rgb));
  for (const char* name : {"a.png", "a.tif"}) {
    BaseBitmap bm;
    ASSERT_EQ(bm.Init(Filename(String(dir / name))), IMAGERESULT_OK) << name;
    EXPECT_EQ(bm.GetBw(), 5);
    EXPECT_EQ(bm.GetBh(), 3);
    ExpectPixels(bm, rgb, 0);
  }
}

TEST_F(BitmapTest, JpegRoundTripInColourAndGreyscale) {
  const std::vector<unsigned char> rgb = Blocks(32, 32);
  MultipassBitmap* bm = MultipassBitmap::Alloc(32, 32, COLORMODE_RGB);
  ASSERT_NE(bm, nullptr);
  for (LONG y = 0; y < 32; ++y)
    for (LONG x = 0; x < 32; ++x) {
      const unsigned char* p = &rgb[(y * 32 + x) * 3];
      bm->SetPixel(x, y, p[0], p[1], p[2]);
    }
  BaseContainer quality;
  quality.SetLong(JPGSAVER_QUALITY, 100);
  ASSERT_EQ(bm->Save(Filename(String(dir / "c.jpg")), FILTER_JPG, &quality, 0), IMAGERESULT_OK);
  ASSERT_EQ(bm->Save(Filename(String(dir / "g.jpg")), FILTER_JPG, &quality, SAVEBIT_GREYSCALE),
            IMAGERESULT_OK);

  DecodedImage colour, grey;
  ASSERT_TRUE(ReadJpegFile(dir / "c.jpg", &colour));
  ASSERT_TRUE(ReadJpegFile(dir / "g.jpg", &grey));
  EXPECT_EQ(colour.components, 3);
  EXPECT_EQ(grey.components, 1);
  EXPECT_EQ(grey.width, 32);
  EXPECT_EQ(grey.height, 32);
  // The grey levels are the luma of the colours: 0.299 r + 0.587 g + 0.114 b.
  EXPECT_NEAR(grey.pixels[0], 89, 2);
  EXPECT_NEAR(grey.pixels[31 * 32 + 31], 128, 2);

  BaseBitmap back;
  ASSERT_EQ(back.Init(Filename(String(dir / "c.jpg"))), IMAGERESULT_OK);
  EXPECT_EQ(back.GetBw(), 32);
  ExpectPixels(back, rgb, 4, 2);
  MultipassBitmap::Free(bm);
  EXPECT_FALSE(std::ifstream(dir / "c.jpg.part").good());  // written beside, then moved
}

TEST_F(BitmapTest, BrokenFilesAndFailedSavesAreReported) {
  std::ofstream(dir / "text.png") << "\x89PNG\r\n\x1a\n but nothing after";
  std::ofstream(dir / "cut.jpg") << "\xff\xd8\xff\xe0";
  std::ofstream(dir / "plain.txt") << "hello";
  BaseBitmap bm;
  EXPECT_EQ(bm.Init(Filename(String(dir / "missing.png"))), IMAGERESULT_NOTEXISTING);
  for (const char* name : {"text.png", "cut.jpg", "plain.txt"}) {
    EXPECT_EQ(bm.Init(Filename(String(dir / name))), IMAGERESULT_WRONGTYPE) << name;
    EXPECT_EQ(bm.GetBw(), 0);
  }
  // A FIFO without a writer is refused at once, never waited on.
  ASSERT_EQ(::mkfifo((dir / "fifo.png").c_str(), 0600), 0);
  errno = 0;
  EXPECT_EQ(bm.Init(Filename(String(dir / "fifo.png"))), IMAGERESULT_NOTEXISTING);
  EXPECT_EQ(errno, EINVAL);
  MultipassBitmap* small = MultipassBitmap::Alloc(2, 2);
  EXPECT_EQ(small->Save(Filename(String(dir / "no/such/dir/x.jpg")), FILTER_JPG, nullptr, 0),
            IMAGERESULT_FILEERROR);
  EXPECT_EQ(small->Save(Filename(String(dir / "x.png")), 1023671, nullptr, 0), IMAGERESULT_WRONGTYPE);
  EXPECT_EQ(MultipassBitmap::Alloc(2, 2, 3), nullptr);  // only RGB images
  MultipassBitmap::Free(small);

  // In a folder anyone may write to, another user's link to root's image is not followed; another
  // user's image is read, as that exposes nothing.
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  const std::string shared = dir / "shared";
  ASSERT_EQ(::mkdir(shared.c_str(), 01777) | ::chmod(shared.c_str(), 01777), 0);
  ASSERT_TRUE(WritePngFile(dir / "private.png", 5, 3, Pattern(5, 3)));
  ASSERT_TRUE(WritePngFile(shared + "/theirs.png", 5, 3, Pattern(5, 3)));
  ASSERT_EQ(::chmod((dir / "private.png").c_str(), 0600) |
                ::symlink((dir / "private.png").c_str(), (shared + "/checker.png").c_str()) |
                ::lchown((shared + "/checker.png").c_str(), 65534, 65534) |
                ::lchown((shared + "/theirs.png").c_str(), 65534, 65534),
            0);
  errno = 0;
  EXPECT_EQ(bm.Init(Filename(String(shared + "/checker.png"))), IMAGERESULT_NOTEXISTING);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(bm.Init(Filename(String(shared + "/theirs.png"))), IMAGERESULT_OK);
  EXPECT_EQ(bm.GetBw(), 5);
}

TEST_F(BitmapTest, HostShadersSample) {
  const std::vector<unsigned char> rgb = Pattern(5, 3);
  ASSERT_TRUE(WritePngFile(dir / "tex.png", 5, 3, rgb));
  BaseDocument* doc = BaseDocument::Alloc();
  doc->SetDocumentPath(Filename(String(dir.path())));
  InitRenderStruct irs;
  irs.doc = doc;
  ChannelData cd;

  BaseShader* bitmap = BaseShader::Alloc(Xbitmap);
  bitmap->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename("tex.png"));  // beside the document
  ASSERT_EQ(bitmap->InitRender(&irs), INITRENDERRESULT_OK);
  cd.p = LVector(0.7, 0.5, 0.0);  // pixel (3, 1)
  EXPECT_EQ(bitmap->Sample(&cd), LVector(150 / 255.0, 100 / 255.0, 200 / 255.0));
  cd.p = LVector(1.7, -0.5, 0.0);  // repeats
  EXPECT_EQ(bitmap->Sample(&cd), LVector(150 / 255.0, 100 / 255.0, 200 / 255.0));
  bitmap->FreeRender();
  EXPECT_EQ(bitmap->Sample(&cd), LVector());
  bitmap->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename("gone.png"));
  EXPECT_EQ(bitmap->InitRender(&irs), INITRENDERRESULT_ASSETMISSING);

  BaseShader* colour = BaseShader::Alloc(Xcolor);
  colour->GetDataInstance()->SetVector(COLORSHADER_COLOR, LVector(0.5, 0.25, 1.0));
  colour->GetDataInstance()->SetReal(COLORSHADER_BRIGHTNESS, 0.5);
  ASSERT_EQ(colour->InitRender(&irs), INITRENDERRESULT_OK);
  EXPECT_EQ(colour->Sample(&cd), LVector(0.25, 0.125, 0.5));

  BaseShader* gradient = BaseShader::Alloc(Xgradient);
  ASSERT_EQ(gradient->InitRender(&irs), INITRENDERRESULT_OK);
  cd.p = LVector(0.25, 0.75, 0.0);
  EXPECT_EQ(gradient->Sample(&cd), LVector(0.25));
  gradient->GetDataInstance()->SetLong(GRADIENTSHADER_TYPE, GRADIENTSHADER_TYPE_V);
  gradient->GetDataInstance()->SetVector(GRADIENTSHADER_END, LVector(0.0, 0.0, 2.0));
  gradient->InitRender(&irs);
  EXPECT_EQ(gradient->Sample(&cd), LVector(0.0, 0.0, 1.5));

  // A copy is a shader of the same kind with the same parameters.
  BaseShader* copy = static_cast<BaseShader*>(gradient->GetClone());
  copy->InitRender(&irs);
  EXPECT_EQ(copy->Sample(&cd), LVector(0.0, 0.0, 1.5));
  for (BaseShader* sh : {bitmap, colour, gradient, copy}) BaseShader::Free(sh);
  BaseDocument::Free(doc);
}

}  // namespace
