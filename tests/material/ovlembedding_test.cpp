// OVL programs in material channels: the prelude's exact bytes, a generated shader's program under
// each evaluation header, the code shader with its textures and placeholders, programs that
// cannot stand in CDATA, the placeholder replacement, and reading the elements back.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <memory>
#include <string>
#include <vector>

#include "export/orvanescenedata.h"
#include "material/customorvanematerial.h"
#include "material/ovlprelude.h"
#include "orvane_utils/OrvaneSceneParseUtils.h"
#include "orvane_utils/OrvaneShaderWavelengthDependentParam.h"
#include "orvane_utils/OrvaneShaderWavelengthIndependentParam.h"
#include "shader/ovlshader.h"
#include "shader/ovlshaderdata.h"
#include "support/host_fixture.h"
#include "support/xml_text.h"

namespace {

constexpr LONG kFixedShaderId = 1999001;

// A generated shader whose expression is fixed: one text per return type.
class FixedShader : public OVLShaderData {
 public:
  static NodeData* Alloc() { return new FixedShader; }
  std::string GetShaderCode(OVLReturnType type) override {
    return type == OVL_RETURN_VEC3 ? "vec3(0.5, 0.25, 1.0)" : "Vec3ToReal(vec3(0.5))";
  }
};

// The texture definition a code shader writes for `path`.
std::string TextureText(const std::string& path) {
  return "texture{uv_set=default;path=" + path + ";exponent=2.200000;a=0.000000;b=1.000000;c=0.000000}";
}

class OVLEmbeddingTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    ASSERT_TRUE(RegisterOVL());
    ASSERT_TRUE(RegisterShaderPlugin(kFixedShaderId, "Fixed", 0, FixedShader::Alloc, "", 0));
    mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    ASSERT_NE(mat, nullptr);
    writer = static_cast<CustomOrvaneMaterial*>(mat->GetNodeData());
    ASSERT_NE(writer, nullptr);
    sceneData.sceneDir = Filename("/tmp/scene");
    writer->sceneData = &sceneData;
    model = new TiXmlElement("diffuse");
    doc.LinkEndChild(model);
    channel = new TiXmlElement("albedo");
    model->LinkEndChild(channel);
  }
  void TearDown() override {
    for (BaseShader* s : shaders) BaseShader::Free(s);
    BaseMaterial::Free(mat);
    HostTest::TearDown();
  }
  BaseShader* NewShader(LONG type) {
    shaders.push_back(BaseShader::Alloc(type));
    return shaders.back();
  }
  BaseShader* CodeShader(const char* code, const char* tex1, const char* tex2, const char* tex3) {
    BaseShader* sh = NewShader(ID_OVLSHADER);
    BaseContainer* bc = sh->GetDataInstance();
    if (code) bc->SetString(OVL_CODE, String(code));
    const char* files[3] = {tex1, tex2, tex3};
    for (int k = 0; k < 3; ++k)
      if (files[k]) bc->SetFilename(OVL_TEXTURE1 + k, Filename(files[k]));
    return sh;
  }
  // The text node of channel/shader/shader.
  const TiXmlText* ProgramNode() const {
    const TiXmlElement* outer = channel->FirstChildElement("shader");
    const TiXmlElement* inner = outer ? outer->FirstChildElement("shader") : nullptr;
    return inner && inner->FirstChild() ? inner->FirstChild()->ToText() : nullptr;
  }
  std::string Printed() const {
    TiXmlPrinter printer;
    doc.Accept(&printer);
    return printer.Str();
  }

  BaseMaterial* mat = nullptr;
  CustomOrvaneMaterial* writer = nullptr;
  OrvaneSceneData sceneData;
  TiXmlDocument doc;
  TiXmlElement* model = nullptr;
  TiXmlElement* channel = nullptr;
  std::vector<BaseShader*> shaders;
};

TEST(OVLPreludeTest, HasItsExact648Bytes) {
  const char* const definitions[] = {
      "def Vec3ToReal(vec3 v) real : ((doti(v) + dotj(v) + dotk(v)) / 3.0)",
      "def noise01(vec3 v) real : ((noise(v) + 1.0) * 0.5)",
      "def noise01(vec2 v) real : ((noise(v) + 1.0) * 0.5)",
      "def noise01(real r) real : ((noise(r) + 1.0) * 0.5)",
      "def fbm01(vec3 v, int oc) real : ((fbm(v,oc) + 1.0) * 0.5)",
      "def fbm01(vec2 v, int oc) real : ((fbm(v,oc) + 1.0) * 0.5)",
      "def fbm01(real r, int oc) real : ((fbm(r,oc) + 1.0) * 0.5)",
      "def mulCompVec2(vec2 a, vec2 b) vec2 : vec2(doti(a) * doti(b), dotj(a) * dotj(b))",
      "def mulCompVec3(vec3 a, vec3 b) vec3 : vec3(doti(a) * doti(b), dotj(a) * dotj(b), dotk(a) * "
      "dotk(b))",
  };
  std::string expected;
  for (size_t i = 0; i < 9; ++i) expected += (i ? "\t\t\t\t\t   " : "") + std::string(definitions[i]) + "\n";
  EXPECT_EQ(std::string(OVLPrelude), expected);
  EXPECT_EQ(expected.size(), 648u);
  EXPECT_EQ(kOVLPreludeLength, 648u);
}

TEST_F(OVLEmbeddingTest, GeneratedShaderStandsBehindPreludeAndEachHeader) {
  struct Case {
    const char* header;
    OVLReturnType type;
    const char* program;  // behind the prelude
  } cases[] = {
      {OVL_HEADER_VEC3_POS, OVL_RETURN_VEC3, "def eval(vec3 pos) vec3: vec3(0.5, 0.25, 1.0)"},
      {OVL_HEADER_REAL_POS, OVL_RETURN_REAL, "def eval(vec3 pos) real: Vec3ToReal(vec3(0.5))"},
      {OVL_HEADER_REAL, OVL_RETURN_REAL, "def eval() real: Vec3ToReal(vec3(0.5))"},
  };
  BaseShader* sh = NewShader(kFixedShaderId);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    channel->Clear();
    int index = 2;
    EXPECT_EQ(writer->ExportShader(model, channel, sh, index, c.header, c.type), 1);
    EXPECT_EQ(index, 2);
    const TiXmlText* text = ProgramNode();
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->CDATA());
    EXPECT_EQ(text->ValueStr(), std::string(OVLPrelude) + c.program);
    EXPECT_EQ(Flatten(model), std::string("albedo{shader{shader=") + text->Value() + "}}");
  }
  // The file holds the last program verbatim in one CDATA section.
  EXPECT_NE(Printed().find("<![CDATA[" + std::string(OVLPrelude) + cases[2].program + "]]>"),
            std::string::npos);
}

// A code shader writes its textures and numbers its placeholders from the next texture index;
// long and non-ASCII programs are written whole in UTF-8.
TEST_F(OVLEmbeddingTest, CodeShaderWritesItsTexturesAndReplacesThePlaceholders) {
  std::string longCode = "// caf\xC3\xA9 \xE2\x80\x94 $tex01$\n";
  while (longCode.size() < 5000) longCode += "def f(real x) real: x * 2.0 // padding padding padding\n";
  std::string longProgram = longCode;
  longProgram.replace(longProgram.find("$tex01$"), 7, "7");
  struct Case {
    const char* what;
    const char* code;
    const char* textures[3];
    int index, background;
    std::string program;
    int after;  // the next texture index afterwards
  } cases[] = {
      {"two",
       "tex($tex01$) + tex($tex02$) * tex($tex01$) $tex03$",
       {"maps/wood.jpg", "/abs/stone.png"},
       3,
       0,
       "tex(3) + tex(4) * tex(3) $tex03$",
       5},
      // A code shader's textures carry no coordinate generation, even in the background.
      {"second only", "$tex01$ $tex02$ $tex03$", {nullptr, "b.jpg"}, 0, 1, "$tex01$ 0 $tex03$", 1},
      {"no code", nullptr, {}, 1, 0, "no shader", 1},
      {"long", longCode.c_str(), {"\xC3\xA9t\xC3\xA9.jpg"}, 7, 0, longProgram, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    channel->Clear();
    while (model->LastChild() != channel) model->RemoveChild(model->LastChild());
    writer->textureIndex = c.index;
    writer->background = c.background;
    BaseShader* sh = CodeShader(c.code, c.textures[0], c.textures[1], c.textures[2]);
    EXPECT_EQ(
        writer->ExportShader(model, channel, sh, writer->textureIndex, OVL_HEADER_VEC3_POS, OVL_RETURN_VEC3),
        1);
    EXPECT_EQ(writer->textureIndex, c.after);
    ASSERT_NE(ProgramNode(), nullptr);
    EXPECT_TRUE(ProgramNode()->CDATA());
    // The textures are defined in their order behind the channel.
    std::string expected = "albedo{shader{shader=" + c.program + "}}";
    for (const char* path : c.textures)
      if (path) expected += ";" + TextureText(path);
    EXPECT_EQ(Flatten(model), expected);
  }
}

TEST_F(OVLEmbeddingTest, MissingInputsAppendNothing) {
  int index = 4;
  EXPECT_EQ(writer->ExportShader(model, channel, nullptr, index, OVL_HEADER_REAL, OVL_RETURN_REAL), 0);
  BaseShader* sh = CodeShader("$tex01$", "a.jpg", nullptr, nullptr);
  EXPECT_EQ(writer->ExportShader(model, nullptr, sh, index, OVL_HEADER_REAL, OVL_RETURN_REAL), 0);
  EXPECT_EQ(writer->ExportShader(nullptr, channel, sh, index, OVL_HEADER_REAL, OVL_RETURN_REAL), 0);
  EXPECT_EQ(index, 4);
  EXPECT_EQ(Flatten(model), "albedo");
}

// A generated shader in a colour channel, a code shader with a texture and one whose program
// would end a CDATA section (written as escaped text instead) in scalar channels.
TEST_F(OVLEmbeddingTest, EmbeddedProgramsReadBackThroughTheMaterialParsers) {
  using PU = Orvane::OrvaneSceneParseUtils;
  const std::string ending = "def eval() real: a[b[0]]>1 && x<y ? 1.0 : 0.0";
  writer->ExportShader(model, channel, NewShader(kFixedShaderId), writer->textureIndex, OVL_HEADER_VEC3_POS,
                       OVL_RETURN_VEC3);
  TiXmlElement* exponent = new TiXmlElement("exponent");
  model->LinkEndChild(exponent);
  writer->ExportShader(model, exponent, CodeShader("def eval() real: $tex01$", "t.jpg", nullptr, nullptr),
                       writer->textureIndex, OVL_HEADER_REAL_POS, OVL_RETURN_REAL);
  channel = new TiXmlElement("sigma");
  model->LinkEndChild(channel);
  writer->ExportShader(model, channel, CodeShader(ending.c_str(), nullptr, nullptr, nullptr),
                       writer->textureIndex, OVL_HEADER_REAL, OVL_RETURN_REAL);
  ASSERT_NE(ProgramNode(), nullptr);
  EXPECT_FALSE(ProgramNode()->CDATA());
  const std::string printed = Printed();
  EXPECT_NE(printed.find("<shader>def eval() real: a[b[0]]&gt;1 &amp;&amp; x&lt;y ? 1.0 : 0.0</shader>"),
            std::string::npos)
      << printed;

  TiXmlDocument back;
  back.Parse(printed.c_str());
  ASSERT_FALSE(back.Error());
  const TiXmlElement* m = back.RootElement();
  PU::TextureList textures(1);
  Reference<Orvane::OrvaneWavelengthDependentParam> albedo =
      PU::parseSpectrumMatParameterDirectly(*m->FirstChildElement("albedo"), textures);
  ASSERT_EQ(albedo->GetType(), Orvane::OrvaneShaderWavelengthDependentParam::TYPE);
  EXPECT_EQ(static_cast<Orvane::OrvaneShaderWavelengthDependentParam*>(albedo.getPointer())->shader,
            std::string(OVLPrelude) + OVL_HEADER_VEC3_POS + "vec3(0.5, 0.25, 1.0)");
  for (const auto& s :
       {std::make_pair("exponent", std::string("def eval() real: 0")), std::make_pair("sigma", ending)}) {
    Reference<Orvane::OrvaneWavelengthIndependentParam> p =
        PU::parseScalarMatParameterDirectly(*m->FirstChildElement(s.first), textures);
    ASSERT_EQ(p->GetType(), Orvane::OrvaneShaderWavelengthIndependentParam::TYPE) << s.first;
    EXPECT_EQ(static_cast<Orvane::OrvaneShaderWavelengthIndependentParam*>(p.getPointer())->shader, s.second);
  }
}

TEST_F(OVLEmbeddingTest, ReplaceShaderStringRepeatsWhereThatEndsAndOtherwiseMakesOnePass) {
  struct Case {
    std::string text;
    const char* pattern;
    const char* replacement;
    std::string result;
  } cases[] = {
      {"a $tex01$ b $tex01$", "$tex01$", "3", "a 3 b 3"},
      {"", "$tex01$", "0", ""},
      {"no placeholder", "$tex02$", "1", "no placeholder"},
      {"abc", "", "x", "abc"},  // empty pattern: the text as it is
      {"x$tex01$y", "$tex01$", "1234567", "x1234567y"},
      {"$tex0$tex01$$", "$tex01$", "1", "1"},
      {"$tex01$$tex01$", "$tex01$", "12345678", "1234567812345678"},  // longer, without "$"
      // Where the pattern holds a character more often than the replacement: repeated until none
      // is left, where each replacement completes a new occurrence.
      {"aabb", "ab", "a", "aa"},
      {"abababc", "ababc", "c", "abc"},  // a pattern that overlaps itself
      {std::string(100000, 'a') + "b", "ab", "b", "b"},
      // Otherwise one pass over the text as given.
      {"ab", "ab", "ba", "ba"},
      {"aab", "ab", "ba", "aba"},
      {"aXa", "a", "aa", "aaXaa"},
      {"$tex01$", "$tex01$", "[$tex01$]", "[$tex01$]"},
      {"abab", "ab", "bbaa", "bbaabbaa"},
      {std::string(10000, 'a') + "b", "ab", "bba",
       std::string(9999, 'a') + "bba"},  // repeated: 2^10000 - 1 times
  };
  for (const Case& c : cases)
    EXPECT_EQ(writer->ReplaceShaderString(c.text, c.pattern, c.replacement), c.result)
        << c.text.substr(0, 20) << " / " << c.pattern << " / " << c.replacement;
}

}  // namespace
