// Host strings: encodings, editing at the boundaries, number conversions; file names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <locale>
#include <string>

#include "c4d_string.h"
#include "host_control.h"

namespace {

class StringTest : public ::testing::Test {
 protected:
  void SetUp() override { host::ResetAll(); }
  void TearDown() override { host::ResetAll(); }
};

std::string Utf8(const String& s) { return host::ToUtf8(s); }

std::string CStr(const String& s, STRINGENCODING enc) {
  CHAR* copy = s.GetCStringCopy(enc);
  std::string out(copy);
  GeFree(copy);
  return out;
}

TEST_F(StringTest, Latin1IsTheEightBitEncoding) {
  String s("a\xC3\xA9\xE2\x82\xAC");  // "a", e-acute, euro sign
  ASSERT_EQ(s.GetLength(), 3);
  EXPECT_EQ(s[1], 0xE9);
  EXPECT_EQ(s[2], 0x20AC);
  EXPECT_EQ(s.GetCStringLen(STRINGENCODING_XBIT), 3);
  EXPECT_EQ(CStr(s, STRINGENCODING_XBIT), "a\xE9?");
  EXPECT_EQ(CStr(s, STRINGENCODING_7BIT), "a??");
  EXPECT_EQ(s.GetCStringLen(STRINGENCODING_UTF8), 6);
  EXPECT_EQ(CStr(s, STRINGENCODING_UTF8), "a\xC3\xA9\xE2\x82\xAC");

  String back;
  back.SetCString("a\xE9\xFF", -1, STRINGENCODING_XBIT);
  EXPECT_EQ(Utf8(back), "a\xC3\xA9\xC3\xBF");
  back.SetCString("\xC3\xA9xyz", 2, STRINGENCODING_UTF8);
  EXPECT_EQ(Utf8(back), "\xC3\xA9");
  back.SetCString(nullptr);
  EXPECT_FALSE(back.Content());
}

TEST_F(StringTest, InvalidUtf8BecomesReplacementCharacters) {
  const struct {
    const char* bytes;
    std::u32string expected;
  } cases[] = {
      {"a\xFF\x62", U"a\uFFFDb"},                         // "a", a stray byte, "b"
      {"\xE2\x82", U"\uFFFD\uFFFD"},                      // cut off at the end
      {"\xE2\x82\x41", U"\uFFFD\uFFFDA"},                 // cut off by an ASCII byte
      {"\x80", U"\uFFFD"},                                // lone continuation byte
      {"\xC0\xAF", U"\uFFFD\uFFFD"},                      // overlong '/'
      {"\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD"},            // overlong '/'
      {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},            // UTF-16 surrogate
      {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {"\xF0\x9F\x98\x80", U"\U0001F600"},                // valid four-byte sequence
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    EXPECT_EQ(String(c.bytes).Data(), c.expected);
  }
}

TEST_F(StringTest, GetCStringTruncatesToTheBuffer) {
  String s("h\xC3\xA9llo");  // 5 characters, 6 bytes of UTF-8
  char buf[8];
  std::memset(buf, 'X', sizeof buf);
  s.GetCString(buf, 4, STRINGENCODING_XBIT);
  EXPECT_STREQ(buf, "h\xE9l");
  EXPECT_EQ(buf[4], 'X');  // nothing written past max

  s.GetCString(buf, 1, STRINGENCODING_XBIT);
  EXPECT_STREQ(buf, "");
  buf[0] = 'Q';
  s.GetCString(buf, 0, STRINGENCODING_XBIT);  // no room at all: untouched
  EXPECT_EQ(buf[0], 'Q');

  // UTF-8 is cut at a character boundary, never inside a character.
  s.GetCString(buf, 3, STRINGENCODING_UTF8);
  EXPECT_STREQ(buf, "h");
  s.GetCString(buf, 4, STRINGENCODING_UTF8);
  EXPECT_STREQ(buf, "h\xC3\xA9");
  s.GetCString(buf, sizeof buf, STRINGENCODING_UTF8);
  EXPECT_STREQ(buf, "h\xC3\xA9llo");
}

TEST_F(StringTest, SubStrMidAndRightClampAtTheEnds) {
  const String s("abcdef");
  const struct {
    String got;
    const char* expected;
  } cases[] = {
      {s.SubStr(0, 3), "abc"}, {s.SubStr(4, 10), "ef"}, {s.SubStr(-2, 4), "ab"}, {s.SubStr(6, 1), ""},
      {s.SubStr(2, 0), ""},    {s.SubStr(-10, 3), ""},  {s.Mid(2), "cdef"},      {s.Mid(6), ""},
      {s.Mid(9), ""},          {s.Mid(1, 2), "bc"},     {s.Mid(-3), "abcdef"},   {s.Mid(0), "abcdef"},
      {s.Left(10), "abcdef"},  {s.Left(-1), ""},        {s.Right(2), "ef"},      {s.Right(10), "abcdef"},
      {s.Right(0), ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(Utf8(cases[i].got), cases[i].expected) << "case " << i;
  EXPECT_EQ(s[6], 0);
  EXPECT_EQ(s[-1], 0);
}

TEST_F(StringTest, FindFirstAndLastAtTheBoundaries) {
  const String s("abcabc");
  LONG pos = -7;
  EXPECT_TRUE(s.FindFirst(String("abc"), &pos));
  EXPECT_EQ(pos, 0);
  EXPECT_TRUE(s.FindFirst(String("abc"), &pos, 1));
  EXPECT_EQ(pos, 3);
  EXPECT_TRUE(s.FindFirst('c', &pos, 5));
  EXPECT_EQ(pos, 5);
  EXPECT_TRUE(s.FindFirst('a', &pos, -4));  // a negative start searches from the beginning
  EXPECT_EQ(pos, 0);
  pos = -7;
  EXPECT_FALSE(s.FindFirst(String("abc"), &pos, 4));
  EXPECT_FALSE(s.FindFirst('a', &pos, 6));
  EXPECT_FALSE(s.FindFirst('a', &pos, 100));
  EXPECT_EQ(pos, -7);  // untouched when not found

  EXPECT_TRUE(s.FindLast(String("abc"), &pos));
  EXPECT_EQ(pos, 3);
  EXPECT_TRUE(s.FindLast(String("abc"), &pos, 2));  // a match may run past start
  EXPECT_EQ(pos, 0);
  EXPECT_TRUE(s.FindLast(String("abc"), &pos, 3));
  EXPECT_EQ(pos, 3);
  EXPECT_TRUE(s.FindLast('a', &pos, 0));
  EXPECT_EQ(pos, 0);
  EXPECT_FALSE(s.FindLast('c', &pos, 1));
  EXPECT_FALSE(String().FindLast('a', &pos));
}

TEST_F(StringTest, DeleteAndInsertAtTheBoundaries) {
  const struct {
    LONG pos, count;
    const char* expected;
  } deletes[] = {
      {0, 1, "bcdef"},   {5, 1, "abcde"},  {4, 10, "abcd"},   {6, 1, "abcdef"},
      {-1, 2, "abcdef"}, {2, 0, "abcdef"}, {2, -1, "abcdef"}, {0, 6, ""},
  };
  for (const auto& d : deletes) {
    String s("abcdef");
    s.Delete(d.pos, d.count);
    EXPECT_EQ(Utf8(s), d.expected) << "Delete(" << d.pos << ", " << d.count << ")";
  }
  const struct {
    LONG pos;
    const char* expected;
  } inserts[] = {{0, "XYabc"}, {3, "abcXY"}, {1, "aXYbc"}, {-5, "XYabc"}, {99, "abcXY"}};
  for (const auto& in : inserts) {
    String s("abc");
    s.Insert(in.pos, String("XY"));
    EXPECT_EQ(Utf8(s), in.expected) << "Insert(" << in.pos << ")";
  }
}

TEST_F(StringTest, ToLongReadsTheLeadingNumber) {
  const struct {
    const char* text;
    LONG value;
    bool error;
  } cases[] = {
      {"42", 42, false},
      {"  -17", -17, false},
      {"+8", 8, false},
      {"12abc", 12, false},
      {"007", 7, false},
      {"", 0, true},
      {"   ", 0, true},
      {"abc", 0, true},
      {"-", 0, true},
      {"2147483647", 2147483647, false},
      {"-2147483648", INT32_MIN, false},
      {"2147483648", 0, true},
      {"-2147483649", 0, true},
      {"99999999999999999999", 0, true},
  };
  for (const auto& c : cases) {
    Bool error = !c.error;
    EXPECT_EQ(String(c.text).ToLong(&error), c.value) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

// A locale that writes and reads numbers with a decimal comma.
struct CommaPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST_F(StringTest, ToRealUsesThePointWhateverTheLocale) {
  std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
  const struct {
    const char* text;
    Real value;
    bool error;
  } cases[] = {
      {"1.5", 1.5, false}, {" -0.25 ", -0.25, false}, {"1e3", 1000.0, false},
      {".5", 0.5, false},  {"1,5", 0.0, true},        {"", 0.0, true},
      {"abc", 0.0, true},  {"1.5x", 0.0, true},       {"  ", 0.0, true},
  };
  for (const auto& c : cases) {
    Bool error = !c.error;
    EXPECT_EQ(String(c.text).ToReal(&error), c.value) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
  EXPECT_EQ(Utf8(String::RealToString(2.5, -1, 2)), "2.50");
  std::locale::global(previous);
}

TEST_F(StringTest, RealToStringIsShortestExactByDefault) {
  const Real values[] = {0.1, 2.5, -1.0 / 3.0, 1e-7, 123456789.125, 100.0};
  for (Real v : values) {
    String text = String::RealToString(v);
    Bool error = true;
    EXPECT_EQ(text.ToReal(&error), v) << text;  // exact round trip
    EXPECT_FALSE(error);
  }
  EXPECT_EQ(Utf8(String::RealToString(0.1)), "0.1");
  EXPECT_EQ(Utf8(String::RealToString(2.5)), "2.5");
  EXPECT_EQ(Utf8(String::RealToString(-3.0)), "-3");
  EXPECT_EQ(Utf8(String::RealToString(1.0 / 3.0, -1, 3)), "0.333");
}

// --- File names -----------------------------------------------------------------

TEST_F(StringTest, FilenameJoinsWithOneSeparator) {
  const struct {
    const char* a;
    const char* b;
    const char* expected;
  } cases[] = {
      {"a/b", "c", "a/b/c"},   {"a/b/", "c", "a/b/c"}, {"a/b", "/c", "a/b/c"},
      {"a/b/", "/c", "a/b/c"}, {"", "c", "c"},         {"a", "", "a"},
      {"/", "c", "/c"},        {"/", "/c", "/c"},      {"a", "c/d.txt", "a/c/d.txt"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8((Filename(c.a) + Filename(c.b)).GetString()), c.expected)
        << "'" << c.a << "' + '" << c.b << "'";
  }
  Filename f("x");
  f += Filename("y");
  f += Filename("z");
  EXPECT_EQ(Utf8(f.GetString()), "x/y/z");
}

TEST_F(StringTest, FilenameParts) {
  const struct {
    const char* path;
    const char* directory;
    const char* file;
    const char* suffix;
  } cases[] = {
      {"/a/b.txt", "/a", "b.txt", "txt"},
      {"b.txt", "", "b.txt", "txt"},
      {"/b", "/", "b", ""},
      {"x/archive.tar.gz", "x", "archive.tar.gz", "gz"},
      {"x/.hidden", "x", ".hidden", ""},
      {"x/.hidden.txt", "x", ".hidden.txt", "txt"},
      {"dir.v2/file", "dir.v2", "file", ""},
      {"x/file.", "x", "file.", ""},
      {"x/", "x", "", ""},
  };
  for (const auto& c : cases) {
    Filename f(c.path);
    EXPECT_EQ(Utf8(f.GetDirectory().GetString()), c.directory) << c.path;
    EXPECT_EQ(Utf8(f.GetFile().GetString()), c.file) << c.path;
    EXPECT_EQ(Utf8(f.GetSuffix()), c.suffix) << c.path;
  }
}

TEST_F(StringTest, FilenameSetSuffix) {
  const struct {
    const char* path;
    const char* suffix;
    const char* expected;
  } cases[] = {
      {"a/b.txt", "png", "a/b.png"},
      {"a/b", "png", "a/b.png"},
      {"dir.v2/file", "png", "dir.v2/file.png"},
      {"x/.hidden", "txt", "x/.hidden.txt"},
      {".hidden", "txt", ".hidden.txt"},
      {"a.tar.gz", "zip", "a.tar.zip"},
      {"a/b.txt", "", "a/b"},
      {"dir.v2/file", "", "dir.v2/file"},
      {"x/.hidden", "", "x/.hidden"},
      {"x/.hidden.txt", "", "x/.hidden"},
      {"dir/", "png", "dir/"},
      {"", "png", ""},
  };
  for (const auto& c : cases) {
    Filename f(c.path);
    f.SetSuffix(String(c.suffix));
    EXPECT_EQ(Utf8(f.GetString()), c.expected) << c.path << " <- '" << c.suffix << "'";
  }
  Filename f("scene.OVS");
  EXPECT_TRUE(f.CheckSuffix(String("ovs")));
  EXPECT_TRUE(f.CheckSuffix(String("OVS")));
  EXPECT_FALSE(f.CheckSuffix(String("ov")));
  f.ClearSuffix();
  EXPECT_EQ(Utf8(f.GetString()), "scene");
  EXPECT_TRUE(f.CheckSuffix(String()));
}

}  // namespace
