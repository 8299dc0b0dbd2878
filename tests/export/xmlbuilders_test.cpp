// The XML element builders: element names, texts and order, and saving and loading documents.
#include "export/xmlbuilders.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "orvane_utils/OrvaneXMLText.h"
#include "support/host_fixture.h"
#include "support/comma_locale.h"

namespace {

namespace fs = std::filesystem;

// The element's children in compact text form.
std::string Inner(const TiXmlElement& e) {
  std::string out;
  for (const TiXmlNode* child = e.FirstChild(); child; child = child->NextSibling()) {
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    child->Accept(&printer);
    out += printer.Str();
  }
  return out;
}

std::vector<std::string> ChildNames(const TiXmlElement* e) {
  std::vector<std::string> names;
  for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement())
    names.push_back(c->Value());
  return names;
}

std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class XmlBuildersTest : public HostTest {
 protected:
  TiXmlElement root{"root"};
};

// --- Value builders -------------------------------------------------------------

TEST_F(XmlBuildersTest, IntegersBooleansVectorsAndIndicesInTheirForms) {
  SceneExportLongValue("a", 2147483647, &root);
  SceneExportLongValue("b", std::numeric_limits<int>::min(), &root);
  SceneExportBoolValue("c", 7, &root);
  SceneExportBoolValue("d", 0, &root);
  SceneExportBoolValue("e", -1, &root);
  SceneExportVectorValue("v", LVector(1, 2, 3), &root, 0);
  SceneExportVectorValue("w", LVector(1, 2, 3), &root, 1);
  SceneExportVectorValue("x", LVector(-0.5, 0.25, 100), &root, 7);
  SceneExportInclude(Filename("/a/b/c.ovs"), &root);
  ExportTextureIndex(&root, 4);
  EXPECT_EQ(Inner(root),
            "<a>2147483647</a><b>-2147483648</b><c>true</c><d>false</d><e>true</e>"
            "<v>1.000000 2.000000 3.000000</v><w>1.000000 3.000000 2.000000</w>"
            "<x>-0.500000 100.000000 0.250000</x>"
            "<include><pathname>/a/b/c.ovs</pathname></include>"
            "<texture><texture_index>4</texture_index></texture>");
}

TEST_F(XmlBuildersTest, RealsHaveSixDecimals) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{0.5, "0.500000"},
               {-2, "-2.000000"},
               {1.6, "1.600000"},
               {0.0, "0.000000"},
               {-0.0, "-0.000000"},
               {1234.5, "1234.500000"},
               {1e-7, "0.000000"},
               {0.0000006, "0.000001"},
               {123456789.125, "123456789.125000"},
               {1e20, "100000000000000000000.000000"}};
  for (const auto& c : cases) {
    TiXmlElement parent("p");
    SceneExportRealValue("v", c.value, &parent);
    EXPECT_EQ(Inner(parent), std::string("<v>") + c.text + "</v>") << c.value;
  }
}

TEST_F(XmlBuildersTest, HugeRealsAreWrittenWhole) {
  SceneExportRealValue("v", std::numeric_limits<double>::max(), &root);
  const char* text = root.FirstChildElement("v")->GetText();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text).size(), 309u + 7u);
  EXPECT_EQ(std::string(text).substr(0, 6), "179769");
  EXPECT_EQ(std::string(text).substr(309), ".000000");
}

TEST_F(XmlBuildersTest, RealsMatchPrintfDigitForDigit) {
  // Halfway cases, tiny and huge magnitudes, and a spread of bit patterns.
  std::vector<double> values = {0.0000005,  0.0000015, 2.5e-7, 0.1234565, 1.0000005,
                                -0.0000005, 9.9999995, 1e-300, -1e300,    4503599627370495.5};
  values.push_back(-std::numeric_limits<double>::max());
  values.push_back(std::numeric_limits<double>::denorm_min());
  uint64_t bits = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 2000; ++i) {
    bits = bits * 6364136223846793005ull + 1442695040888963407ull;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) values.push_back(i % 2 ? v : std::ldexp(static_cast<double>(bits >> 11), -40));
  }
  for (double v : values) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%08f", v);
    TiXmlElement parent("p");
    SceneExportVectorValue("v", LVector(v, -v, 0.25), &parent, 0);
    char triple[1000];
    std::snprintf(triple, sizeof triple, "%08f %08f %08f", v, -v, 0.25);
    SceneExportRealValue("r", v, &parent);
    EXPECT_EQ(Inner(parent), std::string("<v>") + triple + "</v><r>" + expected + "</r>") << v;
  }
}

TEST_F(XmlBuildersTest, NonFiniteRealsArePaddedToEightCharacters) {
  SceneExportRealValue("a", std::numeric_limits<double>::infinity(), &root);
  SceneExportRealValue("b", -std::numeric_limits<double>::infinity(), &root);
  EXPECT_EQ(Inner(root), "<a>     inf</a><b>    -inf</b>");
}

TEST_F(XmlBuildersTest, StringsAreTakenAsTheyAre) {
  SceneExportStringValue("s", std::string("a & b <c>"), &root);
  SceneExportStringValue("h",
                         String("Gr\xC3\xBC\xC3\x9F"
                                "e \xE6\x97\xA5"),
                         &root);
  SceneExportStringValue("l", "literal", &root);
  SceneExportStringValue("e", std::string(), &root);
  const TiXmlElement* s = root.FirstChildElement("s");
  EXPECT_STREQ(s->GetText(), "a & b <c>");
  EXPECT_STREQ(root.FirstChildElement("h")->GetText(),
               "Gr\xC3\xBC\xC3\x9F"
               "e \xE6\x97\xA5");
  EXPECT_STREQ(root.FirstChildElement("l")->GetText(), "literal");
  // Every value element holds exactly one text node, also an empty one.
  for (const TiXmlElement* e = root.FirstChildElement(); e; e = e->NextSiblingElement()) {
    ASSERT_NE(e->FirstChild(), nullptr) << e->Value();
    EXPECT_NE(e->FirstChild()->ToText(), nullptr) << e->Value();
    EXPECT_FALSE(e->FirstChild()->ToText()->CDATA());
    EXPECT_EQ(e->FirstChild()->NextSibling(), nullptr) << e->Value();
    EXPECT_EQ(e->FirstAttribute(), nullptr);
  }
}

TEST_F(XmlBuildersTest, NumberTextIgnoresTheProcessLocale) {
  CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no locale with a comma decimal point is installed";
  SceneExportRealValue("r", 0.5, &root);
  SceneExportVectorValue("v", LVector(1.5, 2, 3), &root, 0);
  SceneExportLongValue("l", 1234567, &root);
  comma.Restore();
  EXPECT_EQ(Inner(root), "<r>0.500000</r><v>1.500000 2.000000 3.000000</v><l>1234567</l>");
}

TEST_F(XmlBuildersTest, CommentsHoldTheirText) {
  SceneExportComment(std::string(" plain "), &root);
  SceneExportComment(String("Caf\xC3\xA9"), &root);
  SceneExportComment("literal", &root);
  EXPECT_EQ(Inner(root), "<!-- plain --><!--Caf\xC3\xA9--><!--literal-->");
  EXPECT_NE(root.FirstChild()->ToComment(), nullptr);
}

// --- Compound builders ----------------------------------------------------------

TEST_F(XmlBuildersTest, Spectra) {
  EXPECT_EQ(SceneExportSpectrumPeak(400, 50, 0.1, 2, &root), 1);
  EXPECT_EQ(SceneExportSpectrumUniform(0.5, &root), 1);
  EXPECT_EQ(SceneExportSpectrumBlackbody(6500, 1.5, &root), 1);
  EXPECT_EQ(SceneExportSpectrumTabulated("380", "780", 3, "1 2 3", &root), 1);
  EXPECT_EQ(Inner(root),
            "<peak><peak_min>400.000000</peak_min><peak_width>50.000000</peak_width>"
            "<base_value>0.100000</base_value><peak_value>2.000000</peak_value></peak>"
            "<uniform><value>0.500000</value></uniform>"
            "<blackbody><temperature>6500.000000</temperature><gain>1.500000</gain></blackbody>"
            "<regular_tabulated><start_wavelength>380</start_wavelength>"
            "<end_wavelength>780</end_wavelength><num_values>3</num_values>"
            "<values>1 2 3</values></regular_tabulated>");
}

TEST_F(XmlBuildersTest, RgbSpectrumScalesTheColourByTheGain) {
  EXPECT_EQ(SceneExportSpectrumRGB(LVector(0.5, 0.25, 1), 2.2, 2, &root), 1);
  EXPECT_EQ(Inner(root), "<rgb><rgb>1.000000 0.500000 2.000000</rgb><gamma>2.200000</gamma></rgb>");
}

const char kBackgroundGeneration[] =
    "<tex_coord_generation><spherical><rotation><axis_rotation>"
    "<axis>0.000000 0.000000 1.000000</axis><angle>1.600000</angle>"
    "</axis_rotation></rotation></spherical></tex_coord_generation>";

TEST_F(XmlBuildersTest, TextureWithAPath) {
  EXPECT_EQ(ExportTexture(&root, "textures/wood.png", 2.2, 1, 0.5, -1, Filename("ignored"), 0), 1);
  EXPECT_EQ(Inner(root),
            "<texture><uv_set>default</uv_set><path>textures/wood.png</path>"
            "<exponent>2.200000</exponent><a>1.000000</a><b>0.500000</b><c>-1.000000</c></texture>");
}

TEST_F(XmlBuildersTest, BackgroundTextureAddsTheGenerationLast) {
  EXPECT_EQ(ExportTexture(&root, "sky.hdr", 1, 0, 0, 0, Filename(), 1), 1);
  const TiXmlElement* texture = root.FirstChildElement("texture");
  EXPECT_EQ(ChildNames(texture),
            (std::vector<std::string>{"uv_set", "path", "exponent", "a", "b", "c", "tex_coord_generation"}));
  EXPECT_NE(Inner(*texture).find(std::string("<c>0.000000</c>") + kBackgroundGeneration), std::string::npos);
}

// --- Files ----------------------------------------------------------------------

class XmlFilesTest : public HostTest {
 protected:
  TempDir tmp;
};

TEST_F(XmlFilesTest, SaveWritesTheDocumentWithoutDeclaration) {
  TiXmlDocument doc;
  TiXmlElement* e = new TiXmlElement("global_settings");
  doc.LinkEndChild(e);
  SceneExportStringValue("PATH", std::string("/Applications/R"), e);
  ASSERT_TRUE(SaveXmlFile(doc, tmp / "a.cfg"));
  EXPECT_EQ(ReadFile(tmp / "a.cfg"),
            "<global_settings>\n    <PATH>/Applications/R</PATH>\n</global_settings>\n");
  EXPECT_EQ(FolderEntries(tmp.path()), std::vector<std::string>{"a.cfg"});
}

TEST_F(XmlFilesTest, SaveReplacesAnOldFileWhole) {
  std::ofstream(tmp / "a.ovs") << std::string(10000, 'x');
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlElement("scene"));
  ASSERT_TRUE(SaveXmlFile(doc, tmp / "a.ovs"));
  EXPECT_EQ(ReadFile(tmp / "a.ovs"), "<scene />\n");
  EXPECT_EQ(FolderEntries(tmp.path()), std::vector<std::string>{"a.ovs"});
}

TEST_F(XmlFilesTest, SaveIntoAMissingFolderFailsAndLeavesNothing) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlElement("scene"));
  files::Result error;
  EXPECT_FALSE(SaveXmlFile(doc, tmp / "missing/a.ovs", &error));
  EXPECT_EQ(error.error(), ENOENT);
  EXPECT_FALSE(fs::exists(tmp / "missing"));
  EXPECT_TRUE(FolderEntries(tmp.path()).empty());
  EXPECT_FALSE(SaveXmlFile(doc, "", &error));
  EXPECT_EQ(error.error(), ENOENT);
  EXPECT_TRUE(SaveXmlFile(doc, tmp / "a.ovs", &error));
  EXPECT_EQ(error.error(), 0);
}

TEST_F(XmlFilesTest, AFailedSaveKeepsThePreviousFile) {
  // The target is a folder: the new text cannot take its place.
  fs::create_directory(tmp / "taken");
  std::ofstream(tmp / "taken/inside") << "keep";
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlElement("scene"));
  files::Result error;
  EXPECT_FALSE(SaveXmlFile(doc, tmp / "taken", &error));
  EXPECT_EQ(error.error(), EISDIR);  // the target's reason, not the cleaning up's
  EXPECT_TRUE(fs::is_directory(tmp / "taken"));
  EXPECT_EQ(ReadFile(tmp / "taken/inside"), "keep");
  EXPECT_EQ(FolderEntries(tmp.path()), std::vector<std::string>{"taken"});
}

TEST_F(XmlFilesTest, AFailedWriteReportsFalseAndKeepsThePreviousFile) {
  std::ofstream(tmp / "scene.ovs") << "<previous />";
  TiXmlDocument doc;
  TiXmlElement* scene = new TiXmlElement("scene");
  doc.LinkEndChild(scene);
  for (int i = 0; i < 5000; ++i) SceneExportRealValue("r", i, scene);
  // In a child process whose files may not grow past 1000 bytes, writing fails half-way.
  const std::string path = tmp / "scene.ovs";
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    files::Result error;
    _exit(SaveXmlFile(doc, path, &error) ? 1 : error.error() == EFBIG ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save reported success, 2: not for a file too large";
  EXPECT_EQ(ReadFile(path), "<previous />");
  EXPECT_EQ(FolderEntries(tmp.path()), std::vector<std::string>{"scene.ovs"});
}

TEST_F(XmlFilesTest, LoadReadsWhatSaveWrote) {
  TiXmlDocument doc;
  TiXmlElement* a = new TiXmlElement("a");
  doc.LinkEndChild(a);
  SceneExportStringValue("s", String("\xC3\xA9t\xC3\xA9 & <x>"), a);
  ASSERT_TRUE(SaveXmlFile(doc, tmp / "a.xml"));
  TiXmlDocument back;
  ASSERT_TRUE(LoadXmlFile(back, tmp / "a.xml"));
  EXPECT_FALSE(back.Error());
  EXPECT_STREQ(back.FirstChildElement("a")->FirstChildElement("s")->GetText(), "\xC3\xA9t\xC3\xA9 & <x>");
}

TEST_F(XmlFilesTest, AMissingFileIsNotLoadedAndLeavesTheDocument) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlElement("keep"));
  EXPECT_FALSE(LoadXmlFile(doc, tmp / "missing.xml"));
  EXPECT_NE(doc.FirstChildElement("keep"), nullptr);
  EXPECT_FALSE(LoadXmlFile(doc, tmp.path()));  // a folder holds no text
  EXPECT_NE(doc.FirstChildElement("keep"), nullptr);
}

TEST_F(XmlFilesTest, AnOpenedFileCountsAsLoadedWhateverItHolds) {
  std::ofstream(tmp / "text.cfg") << "this is no XML at all";
  TiXmlDocument doc;
  EXPECT_TRUE(LoadXmlFile(doc, tmp / "text.cfg"));
  EXPECT_EQ(doc.FirstChildElement(), nullptr);

  std::ofstream(tmp / "empty.cfg") << "";
  EXPECT_TRUE(LoadXmlFile(doc, tmp / "empty.cfg"));
}

TEST_F(XmlFilesTest, ABrokenFileKeepsWhatWasReadBeforeTheError) {
  std::ofstream(tmp / "broken.cfg") << "<first>1</first><second><unclosed>";
  TiXmlDocument doc;
  EXPECT_TRUE(LoadXmlFile(doc, tmp / "broken.cfg"));
  EXPECT_TRUE(doc.Error());
  ASSERT_NE(doc.FirstChildElement("first"), nullptr);
  EXPECT_STREQ(doc.FirstChildElement("first")->GetText(), "1");
}

// The whole file is UTF-8 of characters XML 1.0 allows, and each character reference outside the
// comments names one.
void ExpectOnlyXmlCharacters(const std::string& file) {
  EXPECT_TRUE(Orvane::XMLText::isAllowed(file)) << file;
  std::string bytes = file;
  for (size_t open = bytes.find("<!--"); open != std::string::npos; open = bytes.find("<!--", open)) {
    const size_t close = bytes.find("-->", open + 4);
    ASSERT_NE(close, std::string::npos) << file;
    bytes.erase(open, close + 3 - open);
  }
  for (size_t at = bytes.find("&#"); at != std::string::npos; at = bytes.find("&#", at + 1)) {
    const size_t end = bytes.find(';', at);
    ASSERT_NE(end, std::string::npos) << bytes;
    const std::string ref = bytes.substr(at, end + 1 - at);
    EXPECT_TRUE(ref == "&#x09;" || ref == "&#x0A;" || ref == "&#x0D;") << ref;
  }
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST_F(XmlFilesTest, DeepNestingIsRefusedWithTheLoadersMessage) {
  // However the '<' of each level hides from a scan that reads otherwise than the parser (the
  // loader's own tests go through every such form): "&#x<&x1;" is one character reference, U+0001.
  for (const std::string level : {"&#x<&x1;<s>", "<s a='<!x' b=\"/>\">"}) {
    std::ofstream(tmp / "deep.cfg", std::ios::binary) << "<o>" + Repeat(level, 50000);
    TiXmlDocument doc;
    doc.LinkEndChild(new TiXmlElement("old"));
    std::string error;
    EXPECT_TRUE(LoadXmlFile(doc, tmp / "deep.cfg", &error)) << level;
    EXPECT_EQ(error, "Elements are nested more than 256 levels deep, around line 1.") << level;
    EXPECT_TRUE(doc.Error()) << level;
    EXPECT_EQ(doc.FirstChild(), nullptr) << level;

    // 200 levels are read whole.
    std::ofstream(tmp / "fine.cfg", std::ios::binary) << "<o>" + Repeat(level, 200);
    EXPECT_TRUE(LoadXmlFile(doc, tmp / "fine.cfg", &error)) << level;
    int depth = 0;
    for (const TiXmlElement* e = doc.FirstChildElement(); e; e = e->FirstChildElement("s")) ++depth;
    EXPECT_EQ(depth, 201) << level;
  }
}

TEST_F(XmlFilesTest, LoadSaysWhyAFileWasNotRead) {
  TiXmlDocument doc;
  std::string error;
  EXPECT_FALSE(LoadXmlFile(doc, tmp / "missing.xml", &error));
  EXPECT_EQ(error, "Cannot open the file: No such file or directory.");
  EXPECT_FALSE(LoadXmlFile(doc, tmp.path(), &error));
  EXPECT_EQ(error, "Not a regular file.");
  std::ofstream(tmp / "broken.cfg") << "<a>\n<b></a>";
  EXPECT_TRUE(LoadXmlFile(doc, tmp / "broken.cfg", &error));
  EXPECT_EQ(error, "Not well-formed XML: Error reading end tag (around line 2, column 4).");
  std::ofstream(tmp / "good.cfg") << "<a/>";
  EXPECT_TRUE(LoadXmlFile(doc, tmp / "good.cfg", &error));
  EXPECT_EQ(error, "");
}

// Texts holding characters XML 1.0 does not allow: every file saved is still read by a parser,
// and each such character reads back as U+FFFD.
TEST_F(XmlFilesTest, SavedFilesHoldOnlyCharactersXmlAllows) {
  const std::string R = "\xEF\xBF\xBD";
  struct Case {
    std::string text, back;
  } cases[] = {
      {"plain & <tag> \"q\" 'a'", "plain & <tag> \"q\" 'a'"},
      {"tab\tline\nend", "tab\tline\nend"},
      {"ctl\x01\x08\x0B\x0C\x1F.", "ctl" + R + R + R + R + R + "."},
      {"non\xEF\xBF\xBE\xEF\xBF\xBF"
       "chars",
       "non" + R + R + "chars"},
      {"latin1 caf\xE9!", "latin1 caf" + R + "!"},
      {"overlong \xC0\xAF", "overlong " + R + R},
      {"kept \xC2\x85 \xEF\xBF\xBD \xF0\x9F\x98\x80 \x7F",
       "kept \xC2\x85 \xEF\xBF\xBD \xF0\x9F\x98\x80 \x7F"},
      {"&#x1; stays text", "&#x1; stays text"},
  };
  for (const Case& c : cases) {
    TiXmlDocument doc;
    TiXmlElement* root = new TiXmlElement("root");
    doc.LinkEndChild(root);
    SceneExportStringValue("text", c.text, root);
    SceneExportComment(c.text + "--", root);
    TiXmlElement* attributed = new TiXmlElement("a");
    attributed->SetAttribute("v", c.text);
    root->LinkEndChild(attributed);
    TiXmlText* cdata = new TiXmlText(c.text + "]]>");
    cdata->SetCDATA(true);
    TiXmlElement* holder = new TiXmlElement("c");
    holder->LinkEndChild(cdata);
    root->LinkEndChild(holder);
    ASSERT_TRUE(SaveXmlFile(doc, tmp / "t.xml"));

    const std::string bytes = ReadFile(tmp / "t.xml");
    ExpectOnlyXmlCharacters(bytes);

    TiXmlDocument back;
    std::string error;
    ASSERT_TRUE(LoadXmlFile(back, tmp / "t.xml", &error));
    ASSERT_FALSE(back.Error()) << error << "\n" << bytes;
    const TiXmlElement* r = back.RootElement();
    EXPECT_EQ(r->FirstChildElement("text")->GetText(), c.back);
    EXPECT_EQ(std::string(r->FirstChild()->NextSibling()->Value()), c.back + "- - ");
    EXPECT_EQ(*r->FirstChildElement("a")->Attribute(std::string("v")), c.back);
    EXPECT_EQ(r->FirstChildElement("c")->GetText(), c.back + "]]>");
  }
}

}  // namespace
