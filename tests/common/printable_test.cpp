// Names from a user's files as a console line shows them.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "text/printable.h"

namespace {

TEST(PrintableTest, ControlCharactersAreEscapedAndEverythingElseStays) {
  const std::pair<std::string, std::string> rows[] = {
      {"wood.png", "wood.png"},
      {"\x1b[2J\x1b]0;owned\x07", "\\033[2J\\033]0;owned\\007"},
      {std::string("a\0b", 3), "a\\000b"},
      {"line\nbreak\ttab\r", "line\\012break\\011tab\\015"},
      {"\x1f\x7f ", "\\037\\177 "},
      // UTF-8 and bytes that are none stay as they are; so does a backslash.
      {"H\xc3\xb6lzer \xe2\x82\xac\xff", "H\xc3\xb6lzer \xe2\x82\xac\xff"},
      {"\xc2\xa0\xf0\x9f\x8e\xa8 H\xf6"
       "lzer",
       "\xc2\xa0\xf0\x9f\x8e\xa8 H\xf6"
       "lzer"},
      // C1 controls (CSI, OSC, ST) in UTF-8, and as single bytes outside it.
      {"\xc2\x9b"
       "2J\xc2\x9d"
       "0;owned\xc2\x9c",
       "\\302\\2332J\\302\\2350;owned\\302\\234"},
      {"\x9b"
       "2J \xe2\x82 \x80",
       "\\2332J \xe2\\202 \\200"},
      {"tex\\wood.png", "tex\\wood.png"},
      {"", ""},
  };
  for (const auto& [name, shown] : rows) {
    EXPECT_EQ(text::Printable(name), shown) << name;
    EXPECT_EQ(text::Printable(shown), shown) << name;  // escaped twice is as once
  }
}

}  // namespace
