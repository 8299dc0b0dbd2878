// Improved gradient noise in three dimensions (the 2002 reference algorithm with its published
// permutation), and a fractal sum of its octaves. Used by the noise shader's host evaluation.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <type_traits>

/// Perlin's improved noise; static members only. The tables are constants, so any number of
/// render threads may sample at once.
class PerlinNoise {
 public:
  /// The published permutation of 0..255.
  static constexpr std::array<std::int32_t, 256> permutation = {
      151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103, 30,
      69,  142, 8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,  197, 62,
      94,  252, 219, 203, 117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136,
      171, 168, 68,  175, 74,  165, 71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122,
      60,  211, 133, 230, 220, 105, 92,  41,  55,  46,  245, 40,  244, 102, 143, 54,  65,  25,  63,  161,
      1,   216, 80,  73,  209, 76,  132, 187, 208, 89,  18,  169, 200, 196, 135, 130, 116, 188, 159, 86,
      164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250, 124, 123, 5,   202, 38,  147, 118, 126,
      255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,  182, 189, 28,  42,  223, 183, 170, 213,
      119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,   129, 22,  39,  253,
      19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,  242, 193,
      238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,
      181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,
      222, 114, 67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

  /// `permutation` twice over, so that an index up to 511 needs no wrap.
  static constexpr std::array<std::int32_t, 512> p = [] {
    std::array<std::int32_t, 512> t{};
    for (int i = 0; i < 256; ++i) t[i] = t[i + 256] = permutation[i];
    return t;
  }();

  /// Kept for callers that prepare the noise before a render: the table is a constant already
  /// filled, so this does nothing and may be called from any thread at any time.
  static void init() {}

  /// Noise at (x, y, z), about -1..1; exactly 0 at every integer lattice point and 0 when any
  /// coordinate is infinite or not a number. Double and float variants.
  template <typename T>
  static T noise(T x, T y, T z);

  /// The sum of `octaves` octaves: noise(f x, f y, f z) * a with f starting at 1 and growing by
  /// 1.99 per octave, a starting at 1 and halving; 0 for no octave. Not normalised.
  template <typename T>
  static T FBM(T x, T y, T z, unsigned int octaves);

 private:
  // Eight octaves at once where the processor has the vectors for it: noise[k] = the noise at
  // (frequency[k] x, frequency[k] y, frequency[k] z), each finite; false (nothing written)
  // otherwise.
  static bool WideOctaves(const double* frequency, double x, double y, double z, double* noise);

  // Splits a finite coordinate into its lattice cell (mod 256) and its fraction in 0..1: the
  // integer part goes through a 64-bit integer, rounded towards minus infinity. Beyond 2^63 every
  // value is an integer and a multiple of 256, so cell and fraction are 0. Without branches, so
  // that random points cost no mispredictions; the fraction is bit for bit the one of splitting
  // with modf and adding 1 to a negative fraction.
  template <typename T>
  static int Cell(T& coord) {
    constexpr T kLimit = static_cast<T>(9223372036854775808.0);  // 2^63
    const bool inRange = std::fabs(coord) < kLimit;
    const T c = inRange ? coord : T(0);
    std::int64_t i = static_cast<std::int64_t>(c);  // towards zero
    i -= static_cast<T>(i) > c ? 1 : 0;             // towards minus infinity
    coord = c - static_cast<T>(i);
    return static_cast<int>(static_cast<std::uint64_t>(i) & 255u);
  }
  template <typename T>
  static T Fade(T t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
  }
  template <typename T>
  static T Lerp(T t, T a, T b) {
    return a + t * (b - a);
  }
  // The gradient of a corner, with h = hash & 15: u = x for h < 8, else y; v = y for h < 4, x for
  // h 12 and 14, else z; u negated when bit 0 is set, v when bit 1 is. Read from tables rather
  // than branches: a corner's hash is random, so branches would mispredict half the time.
  static constexpr int kGradU[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1};
  static constexpr int kGradV[16] = {1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 0, 2, 0, 2};
  template <typename T>
  static T Grad(int hash, T x, T y, T z) {
    static constexpr T kSign[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    const int h = hash & 15;
    const T c[3] = {x, y, z};
    const T* s = kSign[h & 3];
    return c[kGradU[h]] * s[0] + c[kGradV[h]] * s[1];
  }
};

template <typename T>
T PerlinNoise::noise(T x, T y, T z) {
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return 0;
  const int X = Cell(x), Y = Cell(y), Z = Cell(z);
  const T u = Fade(x), v = Fade(y), w = Fade(z);
  const int A = p[X] + Y, AA = p[A] + Z, AB = p[A + 1] + Z;
  const int B = p[X + 1] + Y, BA = p[B] + Z, BB = p[B + 1] + Z;
  return Lerp(w,
              Lerp(v, Lerp(u, Grad(p[AA], x, y, z), Grad(p[BA], x - 1, y, z)),
                   Lerp(u, Grad(p[AB], x, y - 1, z), Grad(p[BB], x - 1, y - 1, z))),
              Lerp(v, Lerp(u, Grad(p[AA + 1], x, y, z - 1), Grad(p[BA + 1], x - 1, y, z - 1)),
                   Lerp(u, Grad(p[AB + 1], x, y - 1, z - 1), Grad(p[BB + 1], x - 1, y - 1, z - 1))));
}

template <typename T>
T PerlinNoise::FBM(T x, T y, T z, unsigned int octaves) {
  const T lacunarity = static_cast<T>(1.99), gain = static_cast<T>(0.5);
  T sum = 0, frequency = 1, amplitude = 1;
  if constexpr (std::is_same<T, double>::value) {
    // Groups of eight octaves side by side; the frequency only grows, so when the last octave's
    // coordinates are finite, every octave's are. The sum is made in the same order.
    double frequencies[8], values[8];
    unsigned int i = 0;
    for (; i + 8 <= octaves; i += 8) {
      for (double& f : frequencies) {
        f = frequency;
        frequency *= lacunarity;
      }
      const double last = frequencies[7];
      if (!std::isfinite(last * x) || !std::isfinite(last * y) || !std::isfinite(last * z) ||
          !WideOctaves(frequencies, x, y, z, values)) {
        frequency = frequencies[0];
        break;
      }
      for (double n : values) {
        sum += n * amplitude;
        amplitude *= gain;
      }
    }
    for (; i < octaves; ++i) {
      sum += noise(frequency * x, frequency * y, frequency * z) * amplitude;
      frequency *= lacunarity;
      amplitude *= gain;
    }
    return sum;
  }
  for (unsigned int i = 0; i < octaves; ++i) {
    sum += noise(frequency * x, frequency * y, frequency * z) * amplitude;
    frequency *= lacunarity;
    amplitude *= gain;
  }
  return sum;
}
