// Generated shaders inside a material's channel: a blend of a noise and a gradient written by the
// material writer as one program, the prelude, the channel's header and the blend's expression.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <string>

#include "host_document_file.h"
#include "material/customorvanematerial.h"
#include "material/ovlprelude.h"
#include "shader_scene.h"

namespace {

class OVLExportTest : public ShaderSceneTest {
 protected:
  void SetUp() override {
    ShaderSceneTest::SetUp();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    ASSERT_NE(mat, nullptr);
    doc->InsertMaterial(mat);
    // The blend and its children live under the plug-in material, as a document file puts them.
    blend = BaseShader::Alloc(ID_OVLBLEND);
    mat->InsertShader(blend);
    noise = BaseShader::Alloc(ID_OVLNOISE);
    gradient = BaseShader::Alloc(ID_OVLGRADIENT);
    noise->InsertUnder(blend);
    gradient->InsertUnder(blend);
    BaseContainer* bc = blend->GetDataInstance();
    bc->SetLink(OVLBLEND_SHADER_A, noise);
    bc->SetLink(OVLBLEND_SHADER_B, gradient);
    bc->SetLong(OVLBLEND_MODE, OVLBLEND_MODE_ADD);
    bc->SetReal(OVLBLEND_AMOUNT, 0.5);
    gradient->GetDataInstance()->SetLong(OVLGRADIENT_DIRECTION, OVLGRADIENT_DIRECTION_RADIAL);
    mat->GetDataInstance()->SetLink(MAT_ALBEDO_SHADER, blend);
  }
  // The program written for `header` and `type` into a fresh channel.
  std::string Program(const char* header, OVLReturnType type) { return ProgramOf(mat, blend, header, type); }
  static std::string ProgramOf(BaseMaterial* mat, BaseShader* blend, const char* header, OVLReturnType type) {
    TiXmlDocument xml;
    auto* model = new TiXmlElement("diffuse");
    xml.LinkEndChild(model);
    auto* channel = new TiXmlElement("albedo");
    model->LinkEndChild(channel);
    auto* writer = static_cast<CustomOrvaneMaterial*>(mat->GetNodeData());
    int index = 0;
    EXPECT_EQ(writer->ExportShader(model, channel, blend, index, header, type), 1);
    const TiXmlElement* outer = channel->FirstChildElement("shader");
    const TiXmlElement* inner = outer ? outer->FirstChildElement("shader") : nullptr;
    const TiXmlText* text = inner && inner->FirstChild() ? inner->FirstChild()->ToText() : nullptr;
    EXPECT_NE(text, nullptr);
    if (!text) return "";
    EXPECT_TRUE(text->CDATA());
    EXPECT_EQ(outer->NextSiblingElement(), nullptr);
    return text->Value();
  }
  BaseMaterial* mat = nullptr;
  BaseShader* blend = nullptr;
  BaseShader* noise = nullptr;
  BaseShader* gradient = nullptr;
};

const char kBlendVec3[] =
    "((lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
    "noise01(mulCompVec2(getTexCoords(0) * 10.0, vec2(1.00000, 1.00000)))) * 1.00000) + "
    "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
    "length(vec2(0.5,0.5) - getTexCoords(0)) * 2.0 ) * 1.00000) * 0.50000";

TEST_F(OVLExportTest, BlendOfNoiseAndGradientIsOneProgram) {
  const std::string prelude(OVLPrelude, kOVLPreludeLength);
  EXPECT_EQ(Program(OVL_HEADER_VEC3_POS, OVL_RETURN_VEC3),
            prelude + "def eval(vec3 pos) vec3: " + kBlendVec3);
  EXPECT_EQ(Program(OVL_HEADER_VEC3_POS, OVL_RETURN_VEC3),
            prelude +
                "def eval(vec3 pos) vec3: "
                "((lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
                "noise01(mulCompVec2(getTexCoords(0) * 10.0, vec2(1.00000, 1.00000)))) * "
                "1.00000) + lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, "
                "0.00000), length(vec2(0.5,0.5) - getTexCoords(0)) * 2.0 ) * 1.00000) * "
                "0.50000");
  EXPECT_EQ(Program(OVL_HEADER_REAL, OVL_RETURN_REAL),
            prelude +
                "def eval() real: "
                "((Vec3ToReal(lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, "
                "0.00000), noise01(mulCompVec2(getTexCoords(0) * 10.0, vec2(1.00000, "
                "1.00000))))) * 1.00000) + Vec3ToReal(lerp(vec3(1.00000, 1.00000, 1.00000), "
                "vec3(0.00000, 0.00000, 0.00000), length(vec2(0.5,0.5) - getTexCoords(0)) * "
                "2.0 )) * 1.00000) * 0.50000");
}

TEST_F(OVLExportTest, ShaderTreesOfADocumentFile) {
  // The same blend as a document file holds it: children nested under the blend, linked by it.
  std::string error;
  BaseDocument* loaded = host::LoadDocumentText(R"({"materials": [{"type": 1024337, "name": "Swirl",
      "parameters": {"6003": true, "6118": {"shader": {"type": 1024769, "name": "Blend",
        "parameters": {"1602": 1603, "1606": 0.5,
          "1600": {"shader": {"type": 1024768, "name": "Noise"}},
          "1601": {"shader": {"type": 1024770, "name": "Gradient", "parameters": {"1604": 1603}}}}}}}}]})",
                                                "shaders", &error);
  ASSERT_NE(loaded, nullptr) << error;
  BaseMaterial* swirl = loaded->SearchMaterial("Swirl");
  ASSERT_NE(swirl, nullptr);
  auto* top = static_cast<BaseShader*>(swirl->GetDataInstance()->GetLink(MAT_ALBEDO_SHADER, loaded, Xbase));
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(ProgramOf(swirl, top, OVL_HEADER_VEC3_POS, OVL_RETURN_VEC3),
            std::string(OVLPrelude, kOVLPreludeLength) + "def eval(vec3 pos) vec3: " + kBlendVec3);
  BaseDocument::Free(loaded);
}

}  // namespace
