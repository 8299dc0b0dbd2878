// Generated shaders inside a material's channel: a blend of a noise and a gradient, loaded from a
// document file, written by the material writer as one program after the prelude and the channel's
// header, for both return types.
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
  }
  // The program written for `header` and `type` into a fresh channel.
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
};

TEST_F(OVLExportTest, ABlendOfANoiseAndAGradientIsOneProgram) {
  // Blend (add, amount 0.5) of a noise and a radial gradient, nested under the blend and linked by it.
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
  const std::string prelude(OVLPrelude, kOVLPreludeLength);
  EXPECT_EQ(ProgramOf(swirl, top, OVL_HEADER_VEC3_POS, OVL_RETURN_VEC3),
            prelude +
                "def eval(vec3 pos) vec3: "
                "((lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
                "noise01(mulCompVec2(getTexCoords(0) * 10.0, vec2(1.00000, 1.00000)))) * 1.00000) + "
                "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
                "length(vec2(0.5,0.5) - getTexCoords(0)) * 2.0 ) * 1.00000) * 0.50000");
  EXPECT_EQ(ProgramOf(swirl, top, OVL_HEADER_REAL, OVL_RETURN_REAL),
            prelude +
                "def eval() real: "
                "((Vec3ToReal(lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, "
                "0.00000), noise01(mulCompVec2(getTexCoords(0) * 10.0, vec2(1.00000, "
                "1.00000))))) * 1.00000) + Vec3ToReal(lerp(vec3(1.00000, 1.00000, 1.00000), "
                "vec3(0.00000, 0.00000, 0.00000), length(vec2(0.5,0.5) - getTexCoords(0)) * "
                "2.0 )) * 1.00000) * 0.50000");
  BaseDocument::Free(loaded);
}

}  // namespace
