#include "utils/stringutils.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

TEST(StringUtilsTest, SplitAndJoin) {
  const struct {
    const char* text;
    Strings parts;
    const char* joined;  // the parts joined by ":"
  } cases[] = {
      {"a:b:c", {"a", "b", "c"}, "a:b:c"},
      {"a:b:", {"a", "b"}, "a:b"},
      {":a:b:", {"a", "b"}, "a:b"},
      {"::a::b", {"a", "b"}, "a:b"},
      {"a", {"a"}, "a"},
      {":::", {}, ""},
      {"", {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(split(c.text, ':'), c.parts);
    EXPECT_EQ(StringUtils::join(split(c.text, ':'), ":"), c.joined);
  }
  EXPECT_EQ(StringUtils::join(std::set<std::string>{"texture", "constant", "shader"}, "', '"),
            "constant', 'shader', 'texture");
}

TEST(StringUtilsTest, IntToString) {
  EXPECT_EQ(intToString(0), "0");
  EXPECT_EQ(intToString(-7), "-7");
  EXPECT_EQ(intToString(INT_MAX), "2147483647");
  EXPECT_EQ(intToString(INT_MIN), "-2147483648");
}

TEST(StringUtilsTest, PrefixSuffixContainsAndExtension) {
  const struct {
    const char* s;
    const char* other;
    bool prefix, suffix, contains, extension;
  } cases[] = {
      {"abc", "", true, true, true, false},          {"abc", "abc", true, true, true, false},
      {"abc", "ab", true, false, true, false},       {"abc", "bc", false, true, true, false},
      {"abc", "abcd", false, false, false, false},   {"photo.JPG", "jpg", false, false, false, true},
      {"jpg", "jpg", true, true, true, false},       {".jpg", "jpg", false, true, true, true},
      {"photojpg", "jpg", false, true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.s) + " / " + c.other);
    EXPECT_EQ(hasPrefix(c.s, c.other), c.prefix);
    EXPECT_EQ(hasSuffix(c.s, c.other), c.suffix);
    EXPECT_EQ(containsString(c.s, c.other), c.contains);
    EXPECT_EQ(hasExtension(c.s, c.other), c.extension);
  }
}

TEST(StringUtilsTest, Extensions) {
  const struct {
    const char* path;
    const char* extension;
    const char* without;
  } cases[] = {{"a.txt", "txt", "a."}, {"a.b/c", "b/c", "a."}, {"a.tar.gz", "gz", "a.tar."},
               {"noext", "", "noext"}, {"a.", "", "a."},       {".hidden", "hidden", "."}};
  for (const auto& c : cases) {
    EXPECT_EQ(getExtension(c.path), c.extension) << c.path;
    EXPECT_EQ(eatExtension(c.path), c.without) << c.path;
  }
}

TEST(StringUtilsTest, TrimmingCuttingAndWidening) {
  EXPECT_EQ(eatHeadWhitespace(" \t\r\nab c "), "ab c ");
  EXPECT_EQ(eatHeadWhitespace("   "), "   ");
  EXPECT_EQ(eatTailWhitespace(" ab c \t\r\n"), " ab c");
  EXPECT_EQ(eatTailWhitespace("   "), "");
  EXPECT_EQ(eatTailWhitespace("a\xA0"), "a\xA0");  // not ASCII whitespace
  EXPECT_EQ(eatPrefix("prefix_name", "prefix_"), "name");
  EXPECT_EQ(eatSuffix("name.ovm", ".ovs"), "name.ovm");
  EXPECT_EQ(getTailSubString("abcdef", 4), "ef");
  EXPECT_EQ(getTailSubString("abcdef", 6), "");
  EXPECT_EQ(getPrefixBeforeDelim("key=value=x", '='), "key");
  EXPECT_EQ(getPrefixBeforeDelim("=value", '='), "");
  EXPECT_EQ(getPrefixBeforeDelim("novalue", '='), "novalue");
  EXPECT_EQ(rightPad("123", 'a', 5), "123aa");
  EXPECT_EQ(rightPad("12345", 'a', 3), "12345");
  EXPECT_EQ(rightPad("ab", '-', -4), "ab");
}

TEST(StringUtilsTest, CharactersCaseAndTokens) {
  EXPECT_EQ(toLowerCase("MiXeD 09_@[\xC4"), "mixed 09_@[\xC4");
  EXPECT_EQ(toUpperCase("MiXeD 09_`{\xE4"), "MIXED 09_`{\xE4");
  EXPECT_EQ(getNumMatches("a:b::c", ':'), 3u);

  std::string s = "a/b/c";
  replaceChar(s, '/', '\\');
  EXPECT_EQ(s, "a\\b\\c");

  const std::string original(100, 'q');
  const std::string copy = forceCopyString(original);
  EXPECT_EQ(copy, original);
  EXPECT_NE(copy.data(), original.data());

  Strings tokens{"kept"};
  tokenise(" one\ttwo\r\nthree  four\n", tokens);
  EXPECT_EQ(tokens, (Strings{"kept", "one", "two", "three", "four"}));
}

TEST(StringUtilsTest, GetPosition) {
  const std::string text = "\n\t\t\tline1\n\t\t\tline2\n\t\t\tline3";
  const struct {
    unsigned int index, line, col;
  } cases[] = {{0, 0, 0}, {4, 1, 3}, {9, 1, 8}, {10, 2, 0}, {26, 3, 7}};
  for (const auto& c : cases) {
    unsigned int line = 99, col = 99;
    StringUtils::getPosition(text, c.index, line, col);
    EXPECT_EQ(line, c.line) << c.index;
    EXPECT_EQ(col, c.col) << c.index;
  }
}

TEST(StringUtilsTest, GetLineFromText) {
  const struct {
    std::string text;
    int line;
    std::string expected;
  } cases[] = {
      {"ab\ncd", 1, "ab"},
      {"ab\ncd", 2, "cd"},
      {"ab\ncd", 3, "---no such line---"},
      {"ab\r\ncd", 1, "ab\r"},
      // Lines that exist but are empty.
      {"ab\n\ncd", 2, ""},
      {"ab\n", 2, ""},
      {"", 1, ""},
      {"", 2, "---no such line---"},
      {std::string("a\0b\nc", 5), 1, std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " line " + std::to_string(c.line));
    EXPECT_EQ(getLineFromText(c.line, c.text.data(), (int)c.text.size()), c.expected);
  }
}

TEST(StringUtilsTest, StreamReaders) {
  const struct {
    const char* input;
    const char* quote;  // readQuote
    const char* token;  // readInToken
  } cases[] = {
      {"word rest", "word", "word"},
      {"\"single\" rest", "single", "\"single\""},
      {"\"two  inner\tspaces\" rest", "two  inner\tspaces", "\"two inner spaces\""},
      {"\"unterminated phrase", "unterminated phrase", "\"unterminated phrase"},
      {"\"", "", "\""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    std::istringstream q(c.input), t(c.input);
    std::string s = "stale";
    readQuote(q, s);
    EXPECT_EQ(s, c.quote);
    readInToken(t, s);
    EXPECT_EQ(s, c.token);
  }
  std::ostringstream out;
  writeToQuote(out, "say \"hi\"");
  EXPECT_EQ(out.str(), "\"say \"hi\"\"");
}

TEST(StringUtilsDeathTest, BrokenPreconditionsAbortWithTheCondition) {
  unsigned int line = 0, col = 0;
  EXPECT_DEATH(StringUtils::getPosition("abc", 3, line, col), "charindex < str.size\\(\\)");
  EXPECT_DEATH(getTailSubString("abc", -1), "first_char_index >= 0");
  EXPECT_DEATH(getLineFromText(0, "abc", 3), "linenum >= 1");
  EXPECT_DEATH(getLineFromText(1, nullptr, 0), "Assertion `textbuffer. failed");
  EXPECT_DEATH(getLineFromText(1, "abc", -1), "textbufferlength >= 0");
}

}  // namespace
