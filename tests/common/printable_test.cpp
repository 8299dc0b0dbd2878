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
      {"tex\\wood.png", "tex\\wood.png"},
      {"", ""},
  };
  for (const auto& [name, shown] : rows) {
    EXPECT_EQ(text::Printable(name), shown) << name;
    EXPECT_EQ(text::Printable(shown), shown) << name;  // escaped twice is as once
  }
}

}  // namespace
