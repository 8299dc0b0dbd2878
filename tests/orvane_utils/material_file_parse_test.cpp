// Tests of reading whole material files: the bounded XML loader (nesting,
// attributes, TinyXML's known faults, inputs found by fuzzing), the material
// file check and the runner's CheckMaterialFile.

#include <dirent.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "orvane_utils/OrvaneMaterialCheck.h"
#include "orvane_utils/OrvaneXMLLoader.h"

// The runner's front is a single source file of app/; it is compiled in here.
#include "../../app/check_material.cpp"

using namespace Orvane;

namespace {

const std::string kData = std::string(CORVANE_TEST_DATA) + "/materials/";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream os;
  os << in.rdbuf();
  return os.str();
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The deepest element of TinyXML's tree and the most attributes on one.
void treeShape(const TiXmlNode& node, int depth, int& maxDepth, int& maxAttributes) {
  for (const TiXmlElement* e = node.FirstChildElement(); e; e = e->NextSiblingElement()) {
    maxDepth = std::max(maxDepth, depth + 1);
    int attributes = 0;
    for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) ++attributes;
    maxAttributes = std::max(maxAttributes, attributes);
    treeShape(*e, depth + 1, maxDepth, maxAttributes);
  }
}

// The loader's measure against the tree TinyXML builds from the same text:
// the same deepest nesting and the same most attributes on one element. A
// text beyond the limits (which TinyXML might not survive) must be refused.
void expectMeasureIsTree(const std::string& bytes, int exactDepth = -1) {
  const std::string text = OrvaneXMLLoader::prepare(bytes);
  const OrvaneXMLLoader::Shape shape = OrvaneXMLLoader::measure(text.c_str());
  if (shape.max_depth > OrvaneXMLLoader::MAX_ELEMENT_DEPTH ||
      shape.max_attributes > OrvaneXMLLoader::MAX_ATTRIBUTES_PER_ELEMENT) {
    TiXmlDocument doc;
    std::string error;
    EXPECT_FALSE(OrvaneXMLLoader::parse(bytes, doc, error));
    EXPECT_TRUE(error.rfind("Elements are nested more than 256 levels deep, around line ", 0) == 0 ||
                error.rfind("An element has more than 256 attributes, around line ", 0) == 0)
        << error;
    EXPECT_TRUE(doc.Error());
    EXPECT_EQ(doc.FirstChild(), nullptr);
    EXPECT_EQ(exactDepth, -1) << bytes;
    return;
  }
  TiXmlDocument doc;
  doc.Parse(text.c_str());
  int depth = 0, attributes = 0;
  treeShape(doc, 0, depth, attributes);
  EXPECT_EQ(shape.max_depth, depth) << bytes;
  EXPECT_EQ(shape.max_attributes, attributes) << bytes;
  if (exactDepth >= 0) {
    EXPECT_EQ(depth, exactDepth) << bytes;
  }
}

// ---------------------------------------------------------------------------
// The bounded loader

TEST(MaterialFileLoader, DeepNestingFailsWithAMessage) {
  // TinyXML alone overflows the stack on this (about 100,000 levels).
  const std::string deep =
      "<scenedata>\n" + repeat("<blend>", 100000) + repeat("</blend>", 100000) + "</scenedata>";
  TiXmlDocument doc;
  std::string error;
  EXPECT_FALSE(OrvaneXMLLoader::parse(deep, doc, error));
  EXPECT_EQ(error, "Elements are nested more than 256 levels deep, around line 2.");
  EXPECT_EQ(doc.FirstChild(), nullptr);

  std::ostringstream out;
  EXPECT_EQ(OrvaneMaterialCheck::checkText(deep, out), 1);
  EXPECT_EQ(out.str(), "Elements are nested more than 256 levels deep, around line 2.\n");

  // Unclosed elements count as well.
  EXPECT_FALSE(OrvaneXMLLoader::parse(repeat("<a>", 300), doc, error));
}

TEST(MaterialFileLoader, NestingAtTheLimitIsAccepted) {
  TiXmlDocument doc;
  std::string error;
  EXPECT_TRUE(OrvaneXMLLoader::parse(repeat("<a>", 256) + repeat("</a>", 256), doc, error)) << error;
  EXPECT_FALSE(OrvaneXMLLoader::parse(repeat("<a>", 257) + repeat("</a>", 257), doc, error));
  // Empty elements and comments do not nest.
  EXPECT_TRUE(OrvaneXMLLoader::parse("<a>" + repeat("<b/><!-- <c> -->", 1000) + "</a>", doc, error)) << error;
}

TEST(MaterialFileLoader, TooManyAttributesFailWithAMessage) {
  std::string many = "<scenedata>\n\n<material";
  for (int i = 0; i < 257; ++i) many += " a" + std::to_string(i) + "=''";
  many += "/></scenedata>";
  TiXmlDocument doc;
  std::string error;
  EXPECT_FALSE(OrvaneXMLLoader::parse(many, doc, error));
  EXPECT_EQ(error, "An element has more than 256 attributes, around line 3.");
}

TEST(MaterialFileLoader, MeasureFollowsTinyXmlsTokens) {
  // Each text, with the nesting TinyXML reaches in it.
  const std::vector<std::pair<std::string, int>> cases = {
      {"<a><b><c/></b></a>", 3},
      {"<a><!-- <b><b><b> --><c/></a>", 2},
      {"<a><![CDATA[ <b><b> </a> ]]><c/></a>", 2},
      {"<a x='<b><b>' y=\"</a>\"><c/></a>", 2},
      {"<a x=1/>", 1},
      {"<a><!DOCTYPE <b>><c/></a>", 2},
      {"<?xml version='1.0'?><a><?xml <b>?><c/></a>", 2},
      {"<a></ab><b><c/></b></a>", 1},
      {"<a>text > more<b/></a>", 2},
      {"<a><b>", 2},
      {"<a><albed\0\0\0\0o><c/>", 2},
      {"<a>&#x41;&#60;<b/></a>", 2},
      // In UTF-8 a lead byte takes the next bytes with it, '<' included.
      {"<?xml version='1.0' encoding='UTF-8'?><a>\xC3</a><b><c/></b></a>", 3},
      {"\xEF\xBB\xBF<a>\xF0</a></a></a><b><c><d/></c></b></a>", 3},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><a>\xC3</a><b><c/></b>", 2},
      {"<?xml version='1.0'?><a x='\xC3'/><b><c/></b></a>", 1},
      // An encoding named through an entity is measured under both readings.
      {"<?xml version='1.0' encoding='&#85;TF-8'?><a>\xC3</a><b><c/></b></a>", 3},
      {"<?xml version='1.0' encoding='&#76;ATIN'?><a>\xC3</a><b><c/></b>", -1},
  };
  for (const auto& c : cases) expectMeasureIsTree(c.first, c.second);
}

// Ways to put a '<' where a scan that does not read as TinyXML reads would
// take it for something else, each before the element that nests one level
// deeper. Hidden by an entity ("&#x<&x;" is one character reference to
// TinyXML), or inside a comment, a CDATA section, a processing instruction,
// an unknown node or a quoted attribute value.
const std::vector<std::pair<std::string, std::string>> kNestingBypasses = {
    {"<o>", "&#x<&x;<s>"},
    {"<o>", "&#<&#;<s>"},
    {"<o>", "&#x<&#x;<s>"},
    {"<?xml version='1.0' encoding='&#85;TF-8'?><o>", "&#x<&x;<s>"},
    {"<?xml version='1.0' encoding='ISO-8859-1'?><o>", "&#x<&x;<s>"},
    {"\xEF\xBB\xBF<o>", "&#x<&x;<s>"},
    {"<o>", "<!-- <!x> --><s>"},
    {"<o>", "<!-- -- > --><s>"},
    {"<o>", "<![CDATA[ <!x> ]]><s>"},
    {"<o>", "<?pi <!x ?><s>"},
    {"<o>", "<?xml <!x ?><s>"},
    {"<o>", "<!x <y> ><s>"},
    {"<o>", "<!DOCTYPE x [ <!ENTITY y '<'> ]><s>"},
    {"<o>", "<s a='<!x' b=\"/>\">"},
    {"<o>", "text &amp; &#60; > <s >"},
};

TEST(MaterialFileLoader, NestingBypassesAreMeasuredAndRefused) {
  for (const auto& bypass : kNestingBypasses) {
    // Within the limit: the measure is TinyXML's nesting, level by level.
    expectMeasureIsTree(bypass.first + repeat(bypass.second, 200), 201);
    // Beyond it: refused with the message, whatever the count.
    for (const int count : {256, 300, 50000}) {
      const std::string text = bypass.first + repeat(bypass.second, count);
      TiXmlDocument doc;
      std::string error;
      EXPECT_FALSE(OrvaneXMLLoader::parse(text, doc, error)) << bypass.second;
      EXPECT_EQ(error, "Elements are nested more than 256 levels deep, around line 1.") << bypass.second;
      std::ostringstream out;
      EXPECT_EQ(OrvaneMaterialCheck::checkText(text, out), 1);
      EXPECT_EQ(out.str(), "Elements are nested more than 256 levels deep, around line 1.\n")
          << bypass.second;
    }
  }
}

TEST(MaterialFileLoader, LineEndingsAreNormalisedAsWhenLoadingAFile) {
  TiXmlDocument doc;
  std::string error;
  ASSERT_TRUE(OrvaneXMLLoader::parse("<a>\r\n<s><![CDATA[x\r\ny\rz]]></s>\r</a>", doc, error)) << error;
  EXPECT_EQ(std::string(doc.RootElement()->FirstChildElement("s")->GetText()), "x\ny\nz");
  EXPECT_EQ(doc.RootElement()->FirstChildElement("s")->Row(), 2);
  // The text ends at its first NUL byte, as a file loaded by TinyXML does; the byte is a fault all the same.
  EXPECT_FALSE(OrvaneXMLLoader::parse(std::string("<a/>\0<b>", 8), doc, error));
  EXPECT_EQ(error,
            "Not well-formed XML: Error null (0) or unexpected EOF found in input stream (around line 1, "
            "column 5).");
  EXPECT_NE(doc.FirstChildElement("a"), nullptr);
  // A fault TinyXML finds before the NUL byte is its own when reading on past the byte finds it
  // there too; otherwise the text's ending early made it, and the fault is the NUL byte.
  const std::pair<std::string, std::string> cut[] = {
      {std::string("<a>\n</b>\0</a>", 12), "Error reading end tag (around line 2, column 1)."},
      {std::string("<a x='1\0'/>", 11),
       "Error null (0) or unexpected EOF found in input stream (around line 1, column 8)."},
      // A character reference that reads as a NUL would cut its text or value there: it is the
      // fault, at its place, in any form, and in a declaration too.
      {"<a>A&#0;B</a>", "A character reference to NUL (&#0;) is not allowed (around line 1, column 5)."},
      {"<a>\n <t x=\"red&#x00;.png\"/></a>",
       "A character reference to NUL (&#x00;) is not allowed (around line 2, column 11)."},
      {"<a>\r\n\tA &amp; &#0000;</a>",
       "A character reference to NUL (&#0000;) is not allowed (around line 2, column 13)."},
      {"<a>&#x100000000;</a>",  // wraps to 0
       "A character reference to NUL (&#x100000000;) is not allowed (around line 1, column 4)."},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><a>&#256;</a>",  // one byte: 256 is 0
       "A character reference to NUL (&#256;) is not allowed (around line 1, column 47)."},
      {"<?xml version='1.0' encoding='UTF-8&#0;'?><a/>",
       "A character reference to NUL (&#0;) is not allowed (around line 1, column 36)."},
      // A fault before the reference is TinyXML's own.
      {"<a>\n</b>&#0;</a>", "Error reading end tag (around line 2, column 1)."},
  };
  for (const auto& [text, fault] : cut) {
    EXPECT_FALSE(OrvaneXMLLoader::parse(text, doc, error)) << text;
    EXPECT_EQ(error, "Not well-formed XML: " + fault) << text;
  }
  // What was read before the reference is kept, as before a NUL byte; other references stay text.
  EXPECT_FALSE(OrvaneXMLLoader::parse("<a><b>x</b><c>&#0;</c></a>", doc, error));
  EXPECT_EQ(std::string(doc.RootElement()->FirstChildElement("b")->GetText()), "x");
  EXPECT_EQ(doc.RootElement()->FirstChildElement("c"), doc.RootElement()->LastChild());
  ASSERT_TRUE(OrvaneXMLLoader::parse("<a>&#48;&#x30;&amp;&#x100000030;</a>", doc, error)) << error;
  EXPECT_EQ(std::string(doc.RootElement()->GetText()), "00&0");
}

// Where TinyXML gives no place, the loader counts as TinyXML does where it gives one: tabs to the
// next fourth column, a UTF-8 character one column once the text is known to be UTF-8.
TEST(MaterialFileLoader, PlacesAreCountedAsTinyXmlCountsThem) {
  for (const std::string declaration : {"", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "\xEF\xBB\xBF"}) {
    const std::string text = declaration + "<a>\n \t\xc3\xa9\t<b>x</c>";
    TiXmlDocument doc;
    std::string error;
    OrvaneXMLLoader::Place place{0, 0};
    EXPECT_FALSE(OrvaneXMLLoader::parse(text, doc, error, &place));
    const std::string prepared = OrvaneXMLLoader::prepare(text);
    const OrvaneXMLLoader::Place counted = OrvaneXMLLoader::placeOf(
        prepared, text.find("</c>"), OrvaneXMLLoader::measure(prepared.c_str()).utf8, doc.TabSize());
    EXPECT_EQ(std::make_pair(counted.line, counted.column), std::make_pair(place.line, place.column))
        << declaration;
    EXPECT_EQ(std::make_pair(doc.ErrorRow(), doc.ErrorCol()), std::make_pair(place.line, place.column));
  }
}

TEST(MaterialFileLoader, MalformedXmlGivesTinyXmlsMessageAndPosition) {
  TiXmlDocument doc;
  std::string error;
  EXPECT_FALSE(OrvaneXMLLoader::parse("<scenedata>\n  <material>\n</scenedata>", doc, error));
  EXPECT_EQ(error, "Not well-formed XML: Error reading end tag (around line 3, column 1).");
  // A text without any XML is said to be none, in the words check-material and the import give.
  EXPECT_FALSE(OrvaneXMLLoader::parse("", doc, error));
  EXPECT_EQ(error, "the file is empty: not a material file");
  EXPECT_EQ(doc.ErrorId(), TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY);
}

// TinyXML's known faults and the inputs the fuzzer found: none may crash, and
// the measure must be what TinyXML builds.
TEST(MaterialFileLoader, KnownFaultsAndFuzzFindings) {
  std::vector<std::string> files = {kData + "good.ovm", kData + "bad.ovm"};
  for (const std::string& dir : {std::string(CORVANE_SOURCE_DIR) + "/fuzz/regressions/material/",
                                 std::string(CORVANE_SOURCE_DIR) + "/fuzz/corpus/material/"}) {
    DIR* d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr) << dir;
    while (const dirent* entry = readdir(d))
      if (entry->d_name[0] != '.') files.push_back(dir + entry->d_name);
    closedir(d);
  }
  // CVE-2021-42260: 0xEF then NUL; CVE-2023-34194: NUL after whitespace in
  // the declaration.
  const std::vector<std::string> inline_inputs = {
      std::string("<?xml version='1.0' encoding='UTF-8'?><a>\xEF\0</a>", 48),
      std::string("<?xml version='1.0'?><a>\xEF", 25),
      std::string("<?xml version=\"1.0\" \0 encoding=\"UTF-8\"?>", 40),
      std::string("<?xml ", 6),
      std::string("<?xml version='1.0' encoding='UTF-8'?><a>\xF0", 42),
      std::string("<?xml version='1.0' encoding='UTF-8'?><a x='\xF0", 45),
  };
  std::vector<std::string> inputs = inline_inputs;
  for (const std::string& f : files) inputs.push_back(readFile(f));
  ASSERT_GE(inputs.size(), 10u);
  for (const std::string& input : inputs) {
    std::ostringstream out;
    OrvaneMaterialCheck::checkText(input, out);
    EXPECT_FALSE(out.str().empty());
    expectMeasureIsTree(input);
  }
  std::ostringstream out;
  EXPECT_EQ(OrvaneMaterialCheck::checkText(inline_inputs[2], out), 1);
  EXPECT_EQ(
      out.str(),
      "Not well-formed XML: Error null (0) or unexpected EOF found in input stream (around line 1, column "
      "21).\n");
}

// ---------------------------------------------------------------------------
// The material file check

TEST(MaterialFileCheck, GoodAndBadFiles) {
  std::ostringstream good;
  EXPECT_EQ(OrvaneMaterialCheck::checkText(readFile(kData + "good.ovm"), good), 0);
  EXPECT_EQ(good.str(),
            "Red: diffuse\nGlass: specular\nShiny: phong\nRough: oren_nayar\nFrosted: glossy_transparent\n"
            "Leaf: diffuse_transmitter\nMix: blend\nNothing: null_material\n8 materials, 0 errors.\n");
  std::ostringstream bad;
  EXPECT_EQ(OrvaneMaterialCheck::checkText(readFile(kData + "bad.ovm"), bad), 2);
  EXPECT_EQ(bad.str(),
            "Fine: diffuse\n"
            "Broken: error: Found unexpected element 'colour_typo'.  (In element 'diffuse', around line 9, "
            "column 9)\n"
            "Loop: blend\n"
            "error: Blend partners form a loop: the chain that starts at blend material 'Loop' leads back to "
            "'Loop'.\n"
            "3 materials, 2 errors.\n");
}

TEST(MaterialFileCheck, FrameAsTheImportReadsIt) {
  const std::string file =
      "<scenedata>"
      "<material><name>A</name><phong><bad/></phong><diffuse/></material>"      // diffuse comes first
      "<material><name>A</name><diffuse><bad/></diffuse></material>"            // a second "A"
      "<material><oren_nayar/></material>"                                      // no name
      "<material><name>C</name><shiny/></material>"                             // no known type
      "<material><name>D</name><null_material><x/></null_material></material>"  // not parsed
      "<material><name>E\x1b[2J\x1b]0;t\x07</name><diffuse/></material>"        // shown escaped
      "</scenedata>";
  std::ostringstream out;
  EXPECT_EQ(OrvaneMaterialCheck::checkText(file, out), 2);
  EXPECT_EQ(
      out.str(),
      "A: diffuse\n"
      "A: error: Found unexpected element 'bad'.  (In element 'diffuse', around line 1, column 102) (a "
      "material of this name comes earlier: the import keeps that one)\n"
      "(no name): error: Failed to find expected element 'sigma'.  (In element 'oren_nayar', around line 1, "
      "column 148)\n"
      "C: no known material type element (the import makes a default diffuse material)\n"
      "D: null_material\n"
      "E\\033[2J\\033]0;t\\007: diffuse\n"
      "6 materials, 2 errors.\n");
  std::ostringstream none;
  EXPECT_EQ(OrvaneMaterialCheck::checkText("<materials/>", none), 1);
  EXPECT_EQ(none.str(), "No \"scenedata\" root element: not a material file.\n");
  // A text that is no XML at all, such as a document file, is said to be none.
  const std::pair<std::string, std::string> notXml[] = {
      {"{\"objects\": []}\n", "Not XML (the text does not start with \"<\"): not a material file.\n"},
      {" \n\t", "Only white space, no XML: not a material file.\n"},
      {"", "the file is empty: not a material file\n"},
      // An image holds NUL bytes early: it is no XML all the same, not XML cut at a NUL.
      {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
       "Not XML (the text does not start with \"<\"): not a material file.\n"},
      {"\xEF\xBB\xBF \n{}", "Not XML (the text does not start with \"<\"): not a material file.\n"},
      // White space and then a NUL byte: the byte is the fault.
      {std::string(" \0<scenedata/>", 14),
       "Not well-formed XML: Error null (0) or unexpected EOF found in input stream (around line 1, column "
       "2).\n"},
      // A reference that would cut a name is the fault, not a material of a shorter name.
      {"<scenedata><material><name>A&#0;B</name><diffuse/></material></scenedata>",
       "Not well-formed XML: A character reference to NUL (&#0;) is not allowed (around line 1, column "
       "29).\n"},
  };
  for (const auto& [text, said] : notXml) {
    std::ostringstream out;
    EXPECT_EQ(OrvaneMaterialCheck::checkText(text, out), 1) << text;
    EXPECT_EQ(out.str(), said);
  }
}

std::string blend(const std::string& name, const std::string& a, const std::string& b) {
  return "<material><name>" + name + "</name><blend><a_name>" + a + "</a_name><b_name>" + b +
         "</b_name><blend><constant>0.5</constant></blend></blend></material>\n";
}

TEST(MaterialFileCheck, APartnerThatNoMaterialCarriesIsNoError) {
  // The import leaves it unset.
  std::ostringstream missing;
  EXPECT_EQ(
      OrvaneMaterialCheck::checkText("<scenedata>" + blend("x", "nobody", "x2") + "</scenedata>", missing),
      0);
}

// ---------------------------------------------------------------------------
// The runner's front

class CheckMaterialFileTest : public testing::Test {
 protected:
  std::string temp(const std::string& name, const std::string& content) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
};

TEST_F(CheckMaterialFileTest, GoodBadAndUnreadableFiles) {
  std::ostringstream good;
  EXPECT_EQ(CheckMaterialFile(kData + "good.ovm", good), 0);
  EXPECT_NE(good.str().find(kData + "good.ovm: Red: diffuse\n"), std::string::npos) << good.str();
  EXPECT_NE(good.str().find(kData + "good.ovm: 8 materials, 0 errors.\n"), std::string::npos) << good.str();

  std::ostringstream bad;
  EXPECT_EQ(CheckMaterialFile(kData + "bad.ovm", bad), 1);
  EXPECT_NE(bad.str().find(kData + "bad.ovm: Broken: error: Found unexpected element 'colour_typo'."),
            std::string::npos)
      << bad.str();

  std::ostringstream missing;
  EXPECT_EQ(CheckMaterialFile(kData + "no-such-file.ovm", missing), 2);
  EXPECT_EQ(missing.str(), kData + "no-such-file.ovm: Cannot open the file: No such file or directory.\n");

  const std::string empty = temp("empty.ovm", "");
  std::ostringstream emptyOut;
  EXPECT_EQ(CheckMaterialFile(empty, emptyOut), 1);
  EXPECT_EQ(emptyOut.str(), empty + ": the file is empty: not a material file\n");

  const std::string binary = temp("binary.ovm", std::string("\x7f"
                                                            "ELF\x02\x01\x01\0\0\0",
                                                            10));
  std::ostringstream binaryOut;
  EXPECT_EQ(CheckMaterialFile(binary, binaryOut), 1);
  EXPECT_EQ(binaryOut.str(),
            binary + ": Not XML (the text does not start with \"<\"): not a material file.\n");
}

}  // namespace
