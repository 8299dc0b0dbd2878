// The host's CRC-32 gives zlib's result on any buffer: long, unaligned, and split anywhere.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "c4d.h"

namespace {

TEST(ZipCrcIdentityTest, AgreesWithZlibOnUnalignedAndSplitBuffers) {
  std::mt19937 rng(11);
  std::vector<unsigned char> data((size_t(3) << 20) + 77);
  for (unsigned char& b : data) b = static_cast<unsigned char>(rng());
  std::uniform_int_distribution<size_t> pick(0, data.size());
  for (int round = 0; round < 200; ++round) {
    size_t from = pick(rng) % 64, to = pick(rng);
    if (to < from) std::swap(from, to);
    if (round < 64)
      to = std::min(data.size(), from + static_cast<size_t>(round));  // short pieces, every length
    size_t cut = from + (to - from) * (rng() % 7) / 6;
    const ULONG start = static_cast<ULONG>(rng());
    const uLong expected = crc32(start, data.data() + from, static_cast<uInt>(to - from));
    ASSERT_EQ(ZipFile::CalcCRC32(data.data() + from, static_cast<VLONG>(to - from), start), expected)
        << from << ".." << to;
    ULONG split = ZipFile::CalcCRC32(data.data() + from, static_cast<VLONG>(cut - from), start);
    split = ZipFile::CalcCRC32(data.data() + cut, static_cast<VLONG>(to - cut), split);
    ASSERT_EQ(split, expected) << from << ".." << cut << ".." << to;
  }
}

}  // namespace
