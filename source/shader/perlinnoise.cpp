// The octaves of the fractal sum side by side, one per lane of the processor's 512-bit vectors:
// every operation of the one-octave noise in the same order on the same IEEE doubles (no fused
// multiply-add), so that each lane holds exactly the value `noise` gives.
#include "shader/perlinnoise.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define CORVANE_WIDE_NOISE 1
#endif

#ifdef CORVANE_WIDE_NOISE
namespace {

// No product is fused with a sum: each rounds on its own, as in the one-octave noise.
#if defined(__clang__)
#pragma clang fp contract(off)
#define WIDE __attribute__((target("avx512f,avx512dq,avx512vl,avx2")))
#else
#define WIDE __attribute__((target("avx512f,avx512dq,avx512vl,avx2"), optimize("fp-contract=off")))
#endif

// Cell and fraction of eight finite coordinates, as `Cell` makes them.
WIDE __m256i Cell(__m512d& coord) {
  const __m512d limit = _mm512_set1_pd(9223372036854775808.0);  // 2^63
  const __m512d magnitude = _mm512_abs_pd(coord);
  const __mmask8 inRange = _mm512_cmp_pd_mask(magnitude, limit, _CMP_LT_OQ);
  const __m512d c = _mm512_maskz_mov_pd(inRange, coord);
  __m512i i = _mm512_cvttpd_epi64(c);
  const __mmask8 above = _mm512_cmp_pd_mask(_mm512_cvtepi64_pd(i), c, _CMP_GT_OQ);
  i = _mm512_mask_sub_epi64(i, above, i, _mm512_set1_epi64(1));
  coord = _mm512_sub_pd(c, _mm512_cvtepi64_pd(i));
  return _mm512_maskz_cvtepi64_epi32(0xFF, _mm512_and_si512(i, _mm512_set1_epi64(255)));
}

WIDE __m512d Fade(__m512d t) {
  const __m512d t3 = _mm512_mul_pd(_mm512_mul_pd(t, t), t);
  const __m512d inner = _mm512_sub_pd(_mm512_mul_pd(t, _mm512_set1_pd(6)), _mm512_set1_pd(15));
  return _mm512_mul_pd(t3, _mm512_add_pd(_mm512_mul_pd(t, inner), _mm512_set1_pd(10)));
}

WIDE __m512d Lerp(__m512d t, __m512d a, __m512d b) {
  return _mm512_add_pd(a, _mm512_mul_pd(t, _mm512_sub_pd(b, a)));
}

WIDE __m256i Perm(__m256i index) { return _mm256_i32gather_epi32(PerlinNoise::p.data(), index, 4); }

// `Grad` of eight corner hashes: u is x below 8, else y; v is y below 4, x for 12 and 14, else z;
// bits 0 and 1 flip the signs of u and v (a flip of the sign bit, as a product with -1 is).
WIDE __m512d Grad(__m256i hash, __m512d x, __m512d y, __m512d z) {
  const __m256i h = _mm256_and_si256(hash, _mm256_set1_epi32(15));
  const __mmask8 below8 = _mm256_cmplt_epi32_mask(h, _mm256_set1_epi32(8));
  const __mmask8 below4 = _mm256_cmplt_epi32_mask(h, _mm256_set1_epi32(4));
  const __mmask8 twelveOrFourteen =
      _mm256_cmpeq_epi32_mask(h, _mm256_set1_epi32(12)) | _mm256_cmpeq_epi32_mask(h, _mm256_set1_epi32(14));
  const __mmask8 flipU = _mm256_test_epi32_mask(h, _mm256_set1_epi32(1));
  const __mmask8 flipV = _mm256_test_epi32_mask(h, _mm256_set1_epi32(2));
  const __m512d sign = _mm512_set1_pd(-0.0);
  __m512d u = _mm512_mask_blend_pd(below8, y, x);
  __m512d v = _mm512_mask_blend_pd(twelveOrFourteen, z, x);
  v = _mm512_mask_blend_pd(below4, v, y);
  u = _mm512_mask_xor_pd(u, flipU, u, sign);
  v = _mm512_mask_xor_pd(v, flipV, v, sign);
  return _mm512_add_pd(u, v);
}

WIDE __m512d Noise(__m512d x, __m512d y, __m512d z) {
  const __m256i X = Cell(x), Y = Cell(y), Z = Cell(z);
  const __m512d u = Fade(x), v = Fade(y), w = Fade(z);
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i A = _mm256_add_epi32(Perm(X), Y);
  const __m256i AA = _mm256_add_epi32(Perm(A), Z), AB = _mm256_add_epi32(Perm(_mm256_add_epi32(A, one)), Z);
  const __m256i B = _mm256_add_epi32(Perm(_mm256_add_epi32(X, one)), Y);
  const __m256i BA = _mm256_add_epi32(Perm(B), Z), BB = _mm256_add_epi32(Perm(_mm256_add_epi32(B, one)), Z);
  const __m512d one_d = _mm512_set1_pd(1);
  const __m512d x1 = _mm512_sub_pd(x, one_d), y1 = _mm512_sub_pd(y, one_d), z1 = _mm512_sub_pd(z, one_d);
  const __m512d g000 = Grad(Perm(AA), x, y, z), g100 = Grad(Perm(BA), x1, y, z);
  const __m512d g010 = Grad(Perm(AB), x, y1, z), g110 = Grad(Perm(BB), x1, y1, z);
  const __m512d g001 = Grad(Perm(_mm256_add_epi32(AA, one)), x, y, z1);
  const __m512d g101 = Grad(Perm(_mm256_add_epi32(BA, one)), x1, y, z1);
  const __m512d g011 = Grad(Perm(_mm256_add_epi32(AB, one)), x, y1, z1);
  const __m512d g111 = Grad(Perm(_mm256_add_epi32(BB, one)), x1, y1, z1);
  return Lerp(w, Lerp(v, Lerp(u, g000, g100), Lerp(u, g010, g110)),
              Lerp(v, Lerp(u, g001, g101), Lerp(u, g011, g111)));
}

WIDE void EightOctaves(const double* frequency, double x, double y, double z, double* out) {
  const __m512d f = _mm512_loadu_pd(frequency);
  _mm512_storeu_pd(out, Noise(_mm512_mul_pd(f, _mm512_set1_pd(x)), _mm512_mul_pd(f, _mm512_set1_pd(y)),
                              _mm512_mul_pd(f, _mm512_set1_pd(z))));
}

bool HasWideVectors() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                          __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx2");
  return has;
}

}  // namespace
#endif

bool PerlinNoise::WideOctaves(const double* frequency, double x, double y, double z, double* noise) {
#ifdef CORVANE_WIDE_NOISE
  if (!HasWideVectors()) return false;
  EightOctaves(frequency, x, y, z, noise);
  return true;
#else
  (void)frequency, (void)x, (void)y, (void)z, (void)noise;
  return false;
#endif
}
