// Perlin noise: the permutation, lattice zeros, values of the reference algorithm to the last bit,
// the fractal sum against single octaves, huge and non-finite coordinates, and the float variant.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

#include "shader/perlinnoise.h"

namespace {

TEST(PerlinNoiseTest, TablesAreOnePermutationTwiceOver) {
  std::vector<int> sorted(PerlinNoise::permutation.begin(), PerlinNoise::permutation.end());
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 256; ++i) ASSERT_EQ(sorted[i], i);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(PerlinNoise::p[i], PerlinNoise::permutation[i]);
    EXPECT_EQ(PerlinNoise::p[i + 256], PerlinNoise::permutation[i]);
  }
}

TEST(PerlinNoiseTest, LatticePointsAreExactlyZero) {
  const double points[][3] = {{0, 0, 0},
                              {1, 2, 3},
                              {-4, 0, 7},
                              {255, 256, 257},
                              {-1000, 3e6, -7e9},
                              {1e19, -1e19, 0},
                              {9.2233720368547758e18, 1e300, -1e300}};
  for (const auto& q : points) {
    EXPECT_EQ(PerlinNoise::noise<double>(q[0], q[1], q[2]), 0.0) << q[0] << " " << q[1] << " " << q[2];
    EXPECT_EQ(PerlinNoise::noise<float>(static_cast<float>(q[0]), static_cast<float>(q[1]),
                                        static_cast<float>(q[2])),
              0.0f);
  }
}

TEST(PerlinNoiseTest, ValuesOfTheReferenceAlgorithmToTheLastBit) {
  // Computed with an independent transcription of the reference algorithm in IEEE doubles.
  struct Case {
    double x, y, z, value;
  } cases[] = {
      {0.5, 0.5, 0.5, -0x1p-2},
      {-0.5, 0.5, 0.5, -0x1p-2},
      {3.14, 42.0, 7.0, 0x1.18697dc92cf35p-3},
      {0.1, 0.2, 0.3, 0x1.67a8a3e3a76d7p-2},
      {-1.7, 2.25, -0.3, -0x1.cd29b278c4aa0p-2},
      {123.456, -78.9, 0.001, 0x1.7275cb0fe20c4p-4},
      {255.5, 256.5, -256.5, -0x1p-3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PerlinNoise::noise<double>(c.x, c.y, c.z), c.value) << c.x << " " << c.y << " " << c.z;
}

TEST(PerlinNoiseTest, CellsRepeatEvery256AndNegativeCoordinatesFallIntoCell255) {
  // -0.5 lies in cell -1, which is cell 255 with fraction 0.5.
  EXPECT_EQ(PerlinNoise::noise<double>(-0.5, 0.5, 0.5), PerlinNoise::noise<double>(255.5, 0.5, 0.5));
  EXPECT_EQ(PerlinNoise::noise<double>(-0.375, 1.625, -2.125),
            PerlinNoise::noise<double>(-0.375 + 256, 1.625 - 512, -2.125 + 1024));
  // Far from the origin the cell index still wraps at 256 (2^40 is a multiple of 256).
  const double far = std::ldexp(1.0, 40);
  EXPECT_EQ(PerlinNoise::noise<double>(far + 0.25, 0.6, 0.7), PerlinNoise::noise<double>(0.25, 0.6, 0.7));
  EXPECT_EQ(PerlinNoise::noise<double>(0.6, -far + 0.25, 0.7), PerlinNoise::noise<double>(0.6, 0.25, 0.7));
  // Beyond the range of a 64-bit integer every coordinate is a multiple of 256: cell 0.
  EXPECT_EQ(PerlinNoise::noise<double>(1e19, 0.5, 0.5), PerlinNoise::noise<double>(0.0, 0.5, 0.5));
  EXPECT_EQ(PerlinNoise::noise<double>(0.5, -1e30, 0.5), PerlinNoise::noise<double>(0.5, 0.0, 0.5));
  EXPECT_EQ(PerlinNoise::noise<float>(0.5f, 3e38f, 0.5f), PerlinNoise::noise<float>(0.5f, 0.0f, 0.5f));
}

TEST(PerlinNoiseTest, NonFiniteCoordinatesGiveZero) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {inf, -inf, nan}) {
    EXPECT_EQ(PerlinNoise::noise<double>(bad, 0.5, 0.5), 0.0);
    EXPECT_EQ(PerlinNoise::noise<double>(0.5, bad, 0.5), 0.0);
    EXPECT_EQ(PerlinNoise::noise<double>(0.5, 0.5, bad), 0.0);
    EXPECT_EQ(PerlinNoise::FBM<double>(bad, 0.5, 0.5, 8), 0.0);
    const float f = static_cast<float>(bad);
    EXPECT_EQ(PerlinNoise::noise<float>(f, 0.5f, 0.5f), 0.0f);
  }
  // Octaves whose point overflows to infinity count as 0; the first still counts.
  EXPECT_NE(PerlinNoise::noise<double>(0.0, 0.3, 0.7), 0.0);
  EXPECT_EQ(PerlinNoise::FBM<double>(1e308, 0.3, 0.7, 8), PerlinNoise::noise<double>(0.0, 0.3, 0.7));
}

TEST(PerlinNoiseTest, FractalSumAgainstSingleOctaves) {
  const double q[][3] = {{0.3, 0.7, 0.1}, {-2.5, 11.25, 4.0}, {0.5, 0.5, 0.5}};
  for (const auto& c : q) {
    const double x = c[0], y = c[1], z = c[2];
    EXPECT_EQ(PerlinNoise::FBM<double>(x, y, z, 0), 0.0);
    EXPECT_EQ(PerlinNoise::FBM<double>(x, y, z, 1), PerlinNoise::noise<double>(x, y, z));
    EXPECT_EQ(
        PerlinNoise::FBM<double>(x, y, z, 2),
        PerlinNoise::noise<double>(x, y, z) + 0.5 * PerlinNoise::noise<double>(1.99 * x, 1.99 * y, 1.99 * z));
    double sum = 0.0, f = 1.0, a = 1.0;
    for (int i = 0; i < 8; ++i, f *= 1.99, a *= 0.5)
      sum += PerlinNoise::noise<double>(f * x, f * y, f * z) * a;
    EXPECT_EQ(PerlinNoise::FBM<double>(x, y, z, 8), sum);
    EXPECT_LE(std::fabs(sum), 1.9921875 * 1.1);
    const float xf = static_cast<float>(x), yf = static_cast<float>(y), zf = static_cast<float>(z);
    EXPECT_EQ(PerlinNoise::FBM<float>(xf, yf, zf, 0), 0.0f);
    EXPECT_EQ(PerlinNoise::FBM<float>(xf, yf, zf, 1), PerlinNoise::noise<float>(xf, yf, zf));
    EXPECT_EQ(PerlinNoise::FBM<float>(xf, yf, zf, 2),
              PerlinNoise::noise<float>(xf, yf, zf) +
                  0.5f * PerlinNoise::noise<float>(1.99f * xf, 1.99f * yf, 1.99f * zf));
  }
}

TEST(PerlinNoiseTest, FractalSumEqualsItsOctavesToTheLastBitAtAnyScale) {
  // The octaves may be worked out side by side; the sum must still be the one of single octaves.
  std::uint64_t s = 0x9E3779B97F4A7C15ull;
  auto next = [&s] {
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    return static_cast<double>(s >> 11) / 9007199254740992.0;  // 0 .. 1
  };
  for (int i = 0; i < 3000; ++i) {
    // Magnitudes from 1e-3 to 1e20: beyond 2^63 some octaves lie past the integer range, and
    // around 1e306 the last octaves overflow to infinity.
    const double scale = i % 100 == 99 ? 1e306 : std::pow(10.0, -3.0 + 23.0 * next());
    const double x = (next() - 0.5) * scale, y = (next() - 0.5) * scale, z = (next() - 0.5) * 3.0;
    for (unsigned octaves : {1u, 7u, 8u, 9u, 17u}) {
      double sum = 0.0, f = 1.0, a = 1.0;
      for (unsigned k = 0; k < octaves; ++k, f *= 1.99, a *= 0.5)
        sum += PerlinNoise::noise<double>(f * x, f * y, f * z) * a;
      ASSERT_EQ(PerlinNoise::FBM<double>(x, y, z, octaves), sum)
          << x << " " << y << " " << z << " " << octaves;
    }
  }
}

TEST(PerlinNoiseTest, FloatVariantFollowsTheDoubleOne) {
  for (double x = -3.0; x < 3.0; x += 0.37)
    for (double y = -1.0; y < 2.0; y += 0.53) {
      const double z = 0.5 * x - y;
      EXPECT_NEAR(
          PerlinNoise::noise<float>(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)),
          PerlinNoise::noise<double>(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)),
          1e-5);
    }
}

TEST(PerlinNoiseTest, InitChangesNothingWhileOthersSample) {
  const double before = PerlinNoise::noise<double>(0.1, 0.2, 0.3);
  std::vector<std::thread> threads;
  std::vector<double> seen(4, 0.0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &seen] {
      for (int i = 0; i < 1000; ++i) {
        if (t == 0) PerlinNoise::init();
        seen[t] = PerlinNoise::noise<double>(0.1, 0.2, 0.3);
      }
    });
  for (std::thread& th : threads) th.join();
  PerlinNoise::init();
  for (double v : seen) EXPECT_EQ(v, before);
  EXPECT_EQ(PerlinNoise::noise<double>(0.1, 0.2, 0.3), before);
}

}  // namespace
