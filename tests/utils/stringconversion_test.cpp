#include "utils/stringutils.h"
#include "support/comma_locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <climits>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>

namespace {

TEST(StringConversionTest, NumbersToText) {
  EXPECT_EQ(toString(4294967295u), "4294967295");
  EXPECT_EQ(floatToString(1.5f), "1.500000");
  EXPECT_EQ(floatToString(-0.25f, 1), "-0.2");  // round half to even, as printf
  EXPECT_EQ(floatToString(0.5f, 12), "0.500000000");
  EXPECT_EQ(doubleToString(1.0, 100), "1." + std::string(100, '0'));
  EXPECT_EQ(doubleToStringScientific(1234.5, 2), "1.23E+03");
  EXPECT_EQ(boolToString(false), "false");
}

TEST(StringConversionTest, BuildStringKeepsLongResultsWhole) {
  EXPECT_EQ(buildString("%d-%s-%.2f", 3, "x", 0.5), "3-x-0.50");
  for (size_t length : {253u, 254u, 1024u, 5000u}) {
    const std::string long_text(length, 'z');
    EXPECT_EQ(buildString("<%s>", long_text.c_str()), "<" + long_text + ">");
  }
}

TEST(StringConversionTest, HexStrings) {
  const struct {
    unsigned long long value;
    const char* text;
  } to_hex[] = {{0, "0x0"}, {255, "0xff"}, {0x10, "0x10"}, {~0ull, "0xffffffffffffffff"}};
  for (const auto& c : to_hex) EXPECT_EQ(toHexString(c.value), c.text);

  const struct {
    const char* text;
    unsigned int value32;
    unsigned long long value64;
  } from_hex[] = {
      {"0xff", 255, 255},
      {"0xFF", 255, 255},
      {"0xdeadBEEF", 0xdeadbeefu, 0xdeadbeefull},
      {"0x123456789", 0, 0x123456789ull},
      {"0xffffffffffffffff", 0, ~0ull},
      {"0x1ffffffffffffffff", 0, 0},
      {"0x", 0, 0},
      {"0X1F", 0, 0},
      {"1F", 0, 0},
      {"0x1G", 0, 0},
  };
  for (const auto& c : from_hex) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(hexStringToUInt(c.text), c.value32);
    EXPECT_EQ(hexStringTo64UInt(c.text), c.value64);
  }
}

TEST(StringConversionTest, NiceByteSize) {
  const struct {
    size_t bytes;
    const char* text;
  } cases[] = {
      {1023, "1023 B"},         {1024, "1.000 KB"},
      {1536, "1.500 KB"},       {1048575, "1023.999 KB"},
      {1048576, "1.000 MB"},    {1073741823, "1024.000 MB"},
      {1073741824, "1.000 GB"}, {(size_t)5 << 30, "5.000 GB"},
  };
  for (const auto& c : cases) EXPECT_EQ(getNiceByteSize(c.bytes), c.text);
}

TEST(StringConversionTest, Checksum) {
  const struct {
    std::string text;
    unsigned int sum;
  } cases[] = {
      {"", 1u},
      {"abc", 999600u},
      {"\x80", 4294967169u},  // signed characters: -128 + 0 + 1
      {"\xFF", 0u},
      {"\xFF"
       "abc",
       0u},
  };
  for (const auto& c : cases) EXPECT_EQ(stringChecksum(c.text), c.sum) << c.text;
}

TEST(StringConversionTest, GuardedConversionsReturnTheLeadingNumber) {
  EXPECT_EQ(stringToInt("-631"), -631);
  EXPECT_EQ(stringToInt(" \t+12abc"), 12);
  EXPECT_EQ(stringToInt("-2147483648"), INT_MIN);
  EXPECT_EQ(stringToDouble("-631.3543e52"), -631.3543e52);
  EXPECT_EQ(stringToDouble("0x1p3"), 8.0);
  EXPECT_EQ(stringToDouble(" 2.5xyz"), 2.5);
  EXPECT_EQ(stringToFloat("1.4"), 1.4f);
  EXPECT_EQ(stringToFloat("1e39"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(stringToFloat("-1e39"), -std::numeric_limits<float>::infinity());
}

TEST(StringConversionTest, GuardedConversionsThrowWithTheInput) {
  const struct {
    std::function<void(const std::string&)> convert;
    const char* text;
    const char* message;
  } cases[] = {
      {stringToInt, "dfgg", "Failed to convert 'dfgg' to an int."},
      {stringToInt, "2147483648", "Failed to convert '2147483648' to an int."},
      {stringToInt, "-2147483649", "Failed to convert '-2147483649' to an int."},
      {stringToInt, "99999999999999999999", "Failed to convert '99999999999999999999' to an int."},
      {stringToDouble, "bleh", "Failed to convert 'bleh' to a double."},
      {stringToFloat, "bleh", "Failed to convert 'bleh' to a float."},
      {stringToFloat, "-z631.3543", "Failed to convert '-z631.3543' to a float."},
      {stringToFloat, "", "Failed to convert '' to a float."},
      {stringToFloat, " ", "Failed to convert ' ' to a float."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      c.convert(c.text);
      ADD_FAILURE() << "no exception";
    } catch (const StringUtilsExcep& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

// Number text must not follow a process locale whose decimal point is a comma.
TEST(StringConversionTest, IndependentOfACommaDecimalLocale) {
  CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no locale with a comma decimal point is installed";

  const double parsed = stringToDouble("1.5");
  const float parsed_float = stringToFloat("2.25");
  const std::string texts[] = {floatToString(0.25f),     floatToString(0.5f, 2),
                               doubleToString(1.5, 1),   doubleToStringScientific(1234.5, 2),
                               buildString("%.1f", 2.5), getNiceByteSize(1536)};
  comma.Restore();

  EXPECT_EQ(parsed, 1.5);
  EXPECT_EQ(parsed_float, 2.25f);
  const char* expected[] = {"0.250000", "0.50", "1.5", "1.23E+03", "2.5", "1.500 KB"};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(texts[i], expected[i]);
}

TEST(StringConversionDeathTest, BrokenPreconditionsAbortWithTheCondition) {
  EXPECT_DEATH(floatToString(1.0f, -1), "num_decimal_places >= 0");
  EXPECT_DEATH(doubleToString(1.0, 101), "num_decimal_places >= 0 && num_decimal_places <= 100");
  EXPECT_DEATH(doubleToStringScientific(1.0, -1), "num_decimal_places >= 0 && num_decimal_places <= 100");
}

TEST(StringUtilsSelfTest, RunsToTheEndWithoutAborting) {
  EXPECT_EXIT(
      {
        doStringUtilsUnitTests();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
