// Tests of OrvaneXMLText: what XML 1.0 allows in a text, and how the rest is replaced; and the
// material file writer's texts, which go through it.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvane_utils/OrvaneXMLText.h"
#include "orvane_utils/OrvaneXMLWriteUtils.h"

using namespace Orvane;

namespace {

const std::string R = "\xEF\xBF\xBD";

TEST(XmlText, EachForbiddenCharacterBecomesTheReplacementCharacter) {
  struct Case {
    const char* what;
    std::string text, allowed;
  };
  const std::vector<Case> cases = {
      {"empty", "", ""},
      {"ASCII", "Cube <1> & 'x'", "Cube <1> & 'x'"},
      {"tab, line feed, carriage return", "a\tb\nc\rd", "a\tb\nc\rd"},
      {"NUL", std::string("a\0b", 3), "a" + R + "b"},
      {"C0 controls", "\x01\x08\x0B\x0C\x0E\x1F", R + R + R + R + R + R},
      {"DEL and C1 controls stay", "\x7F\xC2\x80\xC2\x9F", "\x7F\xC2\x80\xC2\x9F"},
      {"U+FFFE, U+FFFF", "\xEF\xBF\xBE\xEF\xBF\xBF", R + R},
      {"U+FFFD and U+FFFC stay", "\xEF\xBF\xBD\xEF\xBF\xBC", "\xEF\xBF\xBD\xEF\xBF\xBC"},
      {"plane 1 and U+10FFFF stay", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {"lone surrogates", "\xED\xA0\x80\xED\xBF\xBF", R + R + R + R + R + R},
      {"last before the surrogates", "\xED\x9F\xBF", "\xED\x9F\xBF"},
      {"Latin-1 byte", "caf\xE9", "caf" + R},
      {"Latin-1 byte before ASCII", "\xE9t\xE9", R + "t" + R},
      {"truncated sequences", "\xE2\x82 \xF0\x9F\x98", R + " " + R},
      {"lone continuation bytes", "\x80\xBF", R + R},
      {"overlong forms", "\xC0\xAF\xC1\xBF\xE0\x80\xAF", R + R + R + R + R + R + R},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80\xF5\x80", R + R + R + R + R + R},
      {"never a lead byte", "\xFE\xFF", R + R},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XMLText::allowedText(c.text), c.allowed) << c.what;
    EXPECT_EQ(XMLText::isAllowed(c.text), c.text == c.allowed) << c.what;
    EXPECT_TRUE(XMLText::isAllowed(c.allowed)) << c.what;
  }
}

TEST(XmlText, CommentsNeverHoldTwoDashesOrEndInOne) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"Cube", "Cube"},
      {"a-b", "a-b"},
      {"a--b", "a- -b"},
      {"----", "- - - - "},
      {"end-", "end- "},
      {"\x01-\x01-", R + "-" + R + "- "},
      {"-\xEF\xBF\xBF-", "-" + R + "- "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(XMLText::commentText(c.first), c.second) << c.first;
    EXPECT_EQ(XMLText::commentText(c.second), c.second) << "a safe text stays as it is";
  }
}

TEST(XmlText, MaterialFileTextsAreAllowed) {
  EXPECT_EQ(XMLWriteUtils::escapeText("Red\x01 & <b>"), "Red" + R + " &amp; &lt;b&gt;");
  EXPECT_EQ(XMLWriteUtils::cdataSection("x\xEF\xBF\xBF]]>y"), "<![CDATA[x" + R + "]]]]><![CDATA[>y]]>");
  std::ostringstream os;
  XMLWriteUtils::writeTextElement(os, 1, "name", std::string("Leaf\x1F\xC3"));
  EXPECT_EQ(os.str(), "\t<name>Leaf" + R + R + "</name>\n");
}

}  // namespace
