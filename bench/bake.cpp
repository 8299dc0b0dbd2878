// Baking a host shader into a channel's JPEG image beside its parts: a plain libjpeg encode of the
// same pixels at quality 100 and the shader's own sampling of every pixel.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "c4d.h"
#include "export/orvanescenedata.h"
#include "main/helpers.h"
#include "material/customorvanematerial.h"

// After the host's headers: libjpeg defines TRUE and FALSE unless they are already there.
#include <jpeglib.h>

namespace {

constexpr LONG kSide = 1024;

// In $TMPDIR, read as unset when it is empty (as mktemp reads it), else in /tmp.
std::string Target(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/corvane-bench-" + name;
}

BaseShader* NewGradient() {
  BaseShader* sh = BaseShader::Alloc(Xgradient);
  sh->GetDataInstance()->SetVector(GRADIENTSHADER_START, LVector(0.9, 0.2, 0.1));
  sh->GetDataInstance()->SetVector(GRADIENTSHADER_END, LVector(0.1, 0.3, 0.9));
  return sh;
}

void BM_BakeShaderToJpeg(benchmark::State& state) {
  BaseDocument* doc = BaseDocument::Alloc();
  BaseShader* shader = NewGradient();
  OrvaneSceneData sd;
  sd.document = doc;
  CustomOrvaneMaterial material;
  material.sceneData = &sd;
  BaseContainer data;
  data.SetLong(MAT_BAKE_WIDTH, kSide);
  data.SetLong(MAT_BAKE_HEIGHT, kSide);
  const Filename file(String(Target("bake.jpg")));
  for (auto _ : state)
    if (!material.BakeShader(shader, file, &data, 0)) state.SkipWithError("bake failed");
  std::remove(Target("bake.jpg").c_str());
  BaseShader::Free(shader);
  BaseDocument::Free(doc);
}

void BM_PlainJpegEncode(benchmark::State& state) {
  // The pixels the bake produces.
  MultipassBitmap* bm = MultipassBitmap::Alloc(kSide, kSide);
  BaseShader* shader = NewGradient();
  Helpers::BakeShaderToBitmap(bm, shader, nullptr);
  const std::string path = Target("plain.jpg");
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = kSide;
    info.image_height = kSide;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
      JSAMPROW row =
          const_cast<unsigned char*>(bm->GetRgb()) + static_cast<size_t>(info.next_scanline) * kSide * 3;
      jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(f);
  }
  std::remove(path.c_str());
  BaseShader::Free(shader);
  MultipassBitmap::Free(bm);
}

void BM_ShaderSampling(benchmark::State& state) {
  BaseShader* shader = NewGradient();
  for (auto _ : state) {
    InitRenderStruct irs;
    shader->InitRender(&irs);
    ChannelData cd;
    LVector sum;
    for (LONG y = 0; y < kSide; ++y) {
      for (LONG x = 0; x < kSide; ++x) {
        cd.p = LVector((x + 0.5) / kSide, (y + 0.5) / kSide, 0.0);
        sum += shader->Sample(&cd);
      }
    }
    shader->FreeRender();
    benchmark::DoNotOptimize(sum);
  }
  BaseShader::Free(shader);
}

}  // namespace

BENCHMARK(BM_BakeShaderToJpeg)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PlainJpegEncode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ShaderSampling)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
