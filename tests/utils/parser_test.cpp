#include "utils/parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace {

// The run of non-whitespace characters at the cursor, i.e. where the parser stopped.
std::string restOf(Parser& p) {
  std::string token;
  p.parseNonWSToken(token);
  return token;
}

TEST(ParserTest, ParseDouble) {
  const struct {
    const char* text;
    bool ok;
    double value;  // checked only when ok
    const char* rest;
  } cases[] = {
      {"1e5", true, 1e5, ""},
      {"2d3", true, 2000.0, ""},
      {"2D-3", true, 0.002, ""},
      {"1.5E+2", true, 150.0, ""},
      {"-.5", true, -0.5, ""},
      {"5.", true, 5.0, ""},
      {"12.25abc", true, 12.25, "abc"},
      {"1ex", true, 1.0, "x"},
      {"1e+x", true, 1.0, "x"},
      {"0x10", true, 0.0, "x10"},
      {"1-2", true, 1.0, "-2"},
      {".", false, 0, ""},
      {"1e", false, 0, ""},
      {"1e+", false, 0, ""},
      {"+", false, 0, ""},
      {"", false, 0, ""},
      {"inf", false, 0, "inf"},
      {"nan", false, 0, "nan"},
      // Beyond the double range: consumed whole and refused, the exponent counter saturating.
      {"-1e309", false, 0, ""},
      {"1e99999999999999999999", false, 0, ""},
      {"1.8e308 2", false, 0, ""},
      {"1.7e308", true, 1.7e308, ""},
      {"-1e-99999999999999999999", true, -0.0, ""},
      {"0e99999999999999999999", true, 0.0, ""},
      {"0.001e310", true, 1e307, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string text = c.text;
    Parser p(text.data(), text.size());
    double value = 42.0;
    EXPECT_EQ(p.parseDouble(value), c.ok);
    if (c.ok) {
      EXPECT_NEAR(value, c.value, std::fabs(c.value) * 1e-15);
    }
    EXPECT_EQ(restOf(p), c.rest);
  }
}

TEST(ParserTest, ReadsNumberListsWithCallerSkippedWhitespace) {
  const std::string text = " 0.2\t1-2\r\n-3e1 \n";
  Parser p(text.data(), text.size());
  double d = 0.0;
  EXPECT_FALSE(p.parseDouble(d));  // whitespace is never skipped implicitly
  for (double expected : {0.2, 1.0, -2.0, -30.0}) {
    p.parseWhiteSpace();
    ASSERT_TRUE(p.parseDouble(d));
    EXPECT_DOUBLE_EQ(d, expected);
  }
  p.parseWhiteSpace();
  EXPECT_TRUE(p.eof());

  // The buffer need not be NUL-terminated: nothing past the size is read.
  Parser q("12345", 2);
  int i = 0;
  EXPECT_TRUE(q.parseInt(i));
  EXPECT_EQ(i, 12);
  EXPECT_TRUE(q.eof());
}

TEST(ParserTest, ParseFloatNarrowsOrRefuses) {
  const struct {
    const char* text;
    bool ok;
    float value;
  } cases[] = {{"1.4", true, 1.4f}, {"3.4e38", true, 3.4e38f}, {"1e39", false, 42}, {"-1e39", false, 42}};
  for (const auto& c : cases) {
    const std::string text = c.text;
    Parser p(text.data(), text.size());
    float f = 42.0f;
    EXPECT_EQ(p.parseFloat(f), c.ok) << c.text;
    EXPECT_EQ(f, c.value) << c.text;
    EXPECT_TRUE(p.eof()) << c.text;
  }
}

TEST(ParserTest, ParseInt) {
  const struct {
    const char* text;
    bool ok;
    int value;
    const char* rest;
  } cases[] = {
      {"-42", true, -42, ""},
      {"12.5", true, 12, ".5"},
      {"2147483647", true, INT_MAX, ""},
      {"-2147483648", true, INT_MIN, ""},
      // Values outside the int range fail instead of wrapping; the digits are consumed.
      {"2147483648", false, 0, ""},
      {"-2147483649", false, 0, ""},
      {"4294967298", false, 0, ""},
      {"99999999999999999999999x", false, 0, "x"},
      {"+", false, 0, ""},
      {"-x", false, 0, "x"},
      {" 1", false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string text = c.text;
    Parser p(text.data(), text.size());
    int value = 99;
    EXPECT_EQ(p.parseInt(value), c.ok);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(restOf(p), c.rest);
  }
}

TEST(ParserTest, LiteralsAndLookAheadLeaveTheCursorOnFailure) {
  const struct {
    const char* text;
    const char* literal;
    bool ok;
    const char* rest;
  } literals[] = {
      {"abc", "", true, "abc"},
      {"abcdef", "abc", true, "def"},
      {"abd", "abc", false, "abd"},
      {"ab", "abc", false, "ab"},
  };
  for (const auto& c : literals) {
    const std::string text = c.text;
    Parser p(text.data(), text.size());
    EXPECT_EQ(p.parseString(c.literal), c.ok) << c.text;
    EXPECT_EQ(restOf(p), c.rest) << c.text;
  }

  const struct {
    const char* text;
    bool expected;
  } lookahead[] = {{"12.", true}, {"-.", true}, {"12", false}, {"12e5", false}, {"-", false}};
  for (const auto& c : lookahead) {
    const std::string text = c.text;
    Parser p(text.data(), text.size());
    EXPECT_EQ(p.fractionalNumberNext(), c.expected) << c.text;
    EXPECT_EQ(restOf(p), text);
  }
}

TEST(ParserTest, TokenReaders) {
  const struct {
    const char* text;
    const char* alpha;  // empty: parseAlphaToken fails
    const char* nonws;  // empty: parseNonWSToken fails
  } cases[] = {
      {"abc12 x", "abc", "abc12"},
      {"1abc", "", "1abc"},
      {" abc", "", ""},
      {"\xC4x", "", "\xC4x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string text = c.text;
    std::string token = "stale";
    Parser a(text.data(), text.size());
    EXPECT_EQ(a.parseAlphaToken(token), *c.alpha != '\0');
    EXPECT_EQ(token, c.alpha);
    Parser n(text.data(), text.size());
    EXPECT_EQ(n.parseNonWSToken(token), *c.nonws != '\0');
    EXPECT_EQ(token, c.nonws);
  }
}

}  // namespace
