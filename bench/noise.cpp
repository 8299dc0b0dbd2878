// Perlin noise against the cost floor of lattice noise (three floors and a trilinear
// interpolation per point), and a 1024 x 1024 bake of the default noise shader against the same
// bake of a constant colour shader.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "c4d.h"
#include "host_control.h"
#include "host_document_file.h"
#include "shader/ovlnoise.h"
#include "shader/perlinnoise.h"

namespace {

constexpr int kPoints = 4096;

// Points spread over a few hundred cells, negative ones included.
const std::vector<double>& Points() {
  static const std::vector<double> points = [] {
    std::vector<double> v(3 * kPoints);
    std::uint32_t s = 12345;
    for (double& d : v) {
      s = s * 1664525u + 1013904223u;
      d = (static_cast<double>(s >> 8) / (1 << 24) - 0.5) * 300.0;
    }
    return v;
  }();
  return points;
}

double Lerp(double t, double a, double b) { return a + t * (b - a); }

// The floor of lattice noise: cell and fraction per axis, eight corner values from a table,
// seven interpolations.
void BM_FloorTrilinear(benchmark::State& state) {
  const std::vector<double>& pts = Points();
  double table[256];
  for (int i = 0; i < 256; ++i) table[i] = PerlinNoise::permutation[i] / 127.5 - 1.0;
  for (auto _ : state) {
    double sum = 0.0;
    for (int i = 0; i < kPoints; ++i) {
      const double x = pts[3 * i], y = pts[3 * i + 1], z = pts[3 * i + 2];
      const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
      const int X = static_cast<int>(fx) & 255, Y = static_cast<int>(fy) & 255,
                Z = static_cast<int>(fz) & 255;
      const double u = x - fx, v = y - fy, w = z - fz;
      auto c = [&](int dx, int dy, int dz) { return table[(X + dx + Y + dy + Z + dz) & 255]; };
      sum += Lerp(w, Lerp(v, Lerp(u, c(0, 0, 0), c(1, 0, 0)), Lerp(u, c(0, 1, 0), c(1, 1, 0))),
                  Lerp(v, Lerp(u, c(0, 0, 1), c(1, 0, 1)), Lerp(u, c(0, 1, 1), c(1, 1, 1))));
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_FloorTrilinear);

void BM_Noise(benchmark::State& state) {
  const std::vector<double>& pts = Points();
  for (auto _ : state) {
    double sum = 0.0;
    for (int i = 0; i < kPoints; ++i)
      sum += PerlinNoise::noise<double>(pts[3 * i], pts[3 * i + 1], pts[3 * i + 2]);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_Noise);

void BM_FBM8(benchmark::State& state) {
  const std::vector<double>& pts = Points();
  for (auto _ : state) {
    double sum = 0.0;
    for (int i = 0; i < kPoints; ++i)
      sum += PerlinNoise::FBM<double>(pts[3 * i], pts[3 * i + 1], pts[3 * i + 2], 8);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_FBM8);

// A shader of one colour.
constexpr LONG kConstantShader = 1099301;
struct ConstantShader : ShaderData {
  static NodeData* Alloc() { return new ConstantShader; }
  LVector Output(BaseShader*, ChannelData*) override { return LVector(0.25, 0.5, 0.75); }
};

// Bakes the colour channel of a quad whose standard material holds a shader of `type`.
void Bake(benchmark::State& state, LONG type) {
  host::ResetAll();
  if (!RegisterOVLnoise() ||
      !RegisterShaderPlugin(kConstantShader, "Constant", 0, ConstantShader::Alloc, "", 0)) {
    state.SkipWithError("registration failed");
    return;
  }
  std::string error;
  BaseDocument* doc = host::LoadDocumentText(R"({"materials": [{"type": 5703, "name": "M"}],
      "objects": [{"type": 5100, "name": "Quad",
        "points": [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]], "polygons": [[0, 1, 2, 3]],
        "tags": [{"type": 5671, "name": "uv", "uvw": [[[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]]]},
                 {"type": 5616, "name": "T", "parameters": {"1010": {"material": "M"}}}]}]})",
                                             "bench", &error);
  if (!doc) {
    state.SkipWithError(error.c_str());
    return;
  }
  BaseObject* quad = doc->SearchObject("Quad");
  auto* tag = static_cast<TextureTag*>(quad->GetTag(Ttexture));
  auto* uvw = static_cast<UVWTag*>(quad->GetTag(Tuvw));
  BaseMaterial* mat = doc->SearchMaterial("M");
  BaseShader* shader = BaseShader::Alloc(type);
  shader->InsertUnder(mat);
  mat->GetDataInstance()->SetLink(MATERIAL_COLOR_SHADER, shader);
  BaseContainer settings;
  settings.SetBool(BAKE_TEX_COLOR, TRUE);
  settings.SetLong(BAKE_TEX_WIDTH, 1024);
  settings.SetLong(BAKE_TEX_HEIGHT, 1024);
  MultipassBitmap* bitmap = MultipassBitmap::Alloc(1024, 1024);
  LONG err = 0;
  BaseDocument* bake = InitBakeTexture(doc, tag, uvw, uvw, settings, &err);
  if (!bake) {
    state.SkipWithError("no bake document");
  } else {
    for (auto _ : state)
      if (BakeTexture(bake, settings, bitmap) != BAKE_TEX_ERR_NONE) state.SkipWithError("bake failed");
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
  }
  BaseDocument::Free(bake);
  MultipassBitmap::Free(bitmap);
  BaseDocument::Free(doc);
  host::ResetAll();
}

void BM_BakeNoiseShader(benchmark::State& state) { Bake(state, ID_OVLNOISE); }
BENCHMARK(BM_BakeNoiseShader)->Unit(benchmark::kMillisecond);

void BM_BakeConstantShader(benchmark::State& state) { Bake(state, kConstantShader); }
BENCHMARK(BM_BakeConstantShader)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
