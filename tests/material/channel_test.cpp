// The channel writers of the plug-in material: constants, bitmap textures, baked images, OVL
// shaders, switches, texture numbering and failed bakes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "channel_fixture.h"
#include "material/channelrule.h"

namespace fs = std::filesystem;

namespace channeltest {
namespace {

const std::string kRgb08 = "rgb{rgb=0.800000 0.800000 0.800000;gamma=2.200000}";
const std::string kEmissionBase =
    "base_emission{constant{rgb{rgb=0.800000 0.800000 0.800000;gamma=1.000000}}};layer=0";
const std::string kValues22 = "exponent=2.200000;a=0.000000;b=1.000000;c=0.000000";
const std::string kValues10 = "exponent=1.000000;a=0.000000;b=1.000000;c=0.000000";
const std::string kValuesBump = "exponent=1.000000;a=0.000000;b=0.001000;c=0.000000";

// The texture values each channel's definition carries, in the order of AllChannels().
const char* const kChannelValues[] = {kValues22.c_str(),   kValues22.c_str(), kValues22.c_str(),
                                      kValues10.c_str(),   kValues10.c_str(), kValuesBump.c_str(),
                                      kValuesBump.c_str(), kValues22.c_str(), kValues22.c_str()};
// Each channel's element, for texture references and OVL programs.
const char* const kChannelElement[] = {
    "albedo",  "diffuse_albedo", "exponent",     "sigma",
    "blend",   "bump",           "displacement", "absorption_layer_transmittance",
    "emission"};

// The names of the element's children, joined by ";".
std::string ChildNames(const TiXmlElement& e) {
  std::string out;
  for (const TiXmlElement* c = e.FirstChildElement(); c; c = c->NextSiblingElement())
    out += (out.empty() ? "" : ";") + std::string(c->Value());
  return out;
}

TEST_F(ChannelTest, WithoutShaderEachChannelWritesItsConstant) {
  const std::string expected[] = {
      "albedo{constant{" + kRgb08 + "}}",
      "diffuse_albedo{constant{" + kRgb08 + "}}",
      "exponent{constant=1000.000000}",
      "sigma{constant=0.200000}",
      "blend{constant=0.500000}",
      "",  // bump has no constant
      "",  // nor has displacement
      "absorption_layer_transmittance{constant{" + kRgb08 + "}}",
      kEmissionBase,
  };
  const auto channels = AllChannels();
  for (size_t i = 0; i < channels.size(); ++i) {
    data.SetBool(channels[i].use, TRUE);
    material->textureIndex = 4;
    EXPECT_EQ(Write(channels[i].write), expected[i]) << channels[i].label;
    EXPECT_EQ(material->textureIndex, 4) << channels[i].label;
  }
  EXPECT_TRUE(BakedFiles().empty());
}

TEST_F(ChannelTest, AlbedoElementAndColourFollowTheModelAndParameters) {
  data.SetBool(MAT_USE_ALBEDO, TRUE);
  data.SetBool(MAT_ALBEDO_IS_SPECULAR, TRUE);
  EXPECT_EQ(Write(AllChannels()[1].write), "specular_reflectivity{constant{" + kRgb08 + "}}");
  EXPECT_EQ(Write(AllChannels()[0].write), "albedo{constant{" + kRgb08 + "}}");  // kind 0 ignores it

  data.SetVector(MAT_ALBEDO_COLOR, LVector(0.5, 1.0, 0.0));
  data.SetReal(MAT_ALBEDO_BRIGHTNESS, 2.0);
  EXPECT_EQ(Write(AllChannels()[0].write),
            "albedo{constant{rgb{rgb=1.000000 2.000000 0.000000;gamma=2.200000}}}");
  data.SetBool(MAT_USE_ABSORPTION_LAYER, TRUE);
  data.SetVector(MAT_ABSORPTION_LAYER_COLOR, LVector(0.5, 1.0, 0.0));
  data.SetReal(MAT_ABSORPTION_LAYER_BRIGHTNESS, 2.0);
  EXPECT_EQ(Write(AllChannels()[7].write),
            "absorption_layer_transmittance{constant{rgb{rgb=1.000000 2.000000 0.000000;gamma=2.200000}}}");

  // What the container lacks reads as off, zero and black.
  BaseContainer empty;
  empty.SetBool(MAT_USE_ALBEDO, TRUE);
  empty.SetBool(MAT_USE_EXPONENT, TRUE);
  model.Clear();
  material->MaterialExportAlbedo(String("Mat"), &empty, 0, &model);
  material->MaterialExportExponent(String("Mat"), &empty, &model);
  material->MaterialExportSigma(String("Mat"), &empty, &model);
  EXPECT_EQ(
      Flatten(&model),
      "albedo{constant{rgb{rgb=0.000000 0.000000 0.000000;gamma=0.000000}}};exponent{constant=0.000000}");
}

TEST_F(ChannelTest, BitmapShaderBecomesTextureDefinitionAndReference) {
  const auto channels = AllChannels();
  for (size_t i = 0; i < channels.size(); ++i) {
    data.SetBool(channels[i].use, TRUE);
    Link(channels[i].link, Xbitmap);
    material->textureIndex = 2;
    const std::string definition = TextureText(wood, kChannelValues[i]);
    const std::string reference = std::string(kChannelElement[i]) + "{texture{texture_index=2}}";
    // The emission's definition stands before its channel element, every other one after it.
    const std::string expected =
        i == 8 ? kEmissionBase + ";" + definition + ";" + reference : reference + ";" + definition;
    EXPECT_EQ(Write(channels[i].write), expected) << channels[i].label;
    EXPECT_EQ(material->textureIndex, 3) << channels[i].label;
  }
  EXPECT_TRUE(BakedFiles().empty());
}

TEST_F(ChannelTest, OtherHostShadersAreBakedToJpegImages) {
  const auto channels = AllChannels();
  for (size_t i = 0; i < channels.size(); ++i) {
    data.SetBool(channels[i].use, TRUE);
    BaseShader* colour = Link(channels[i].link, Xcolor);
    colour->GetDataInstance()->SetVector(COLORSHADER_COLOR, LVector(1.0, 0.5, 0.0));
    material->textureIndex = 0;
    const std::string file = textures + "/Mat_0" + channels[i].suffix;
    const std::string definition = TextureText(file, kChannelValues[i]);
    const std::string reference = std::string(kChannelElement[i]) + "{texture{texture_index=0}}";
    const std::string expected =
        (i == 8 ? kEmissionBase + ";" : std::string()) + reference + ";" + definition;
    EXPECT_EQ(Write(channels[i].write), expected) << channels[i].label;
    EXPECT_EQ(material->textureIndex, 1);

    // Colour channels are colour images, real-valued ones greyscale, at the bake size.
    DecodedImage image;
    ASSERT_TRUE(ReadJpegFile(file, &image)) << file;
    const bool colourChannel = i <= 1 || i >= 7;
    EXPECT_EQ(image.components, colourChannel ? 3 : 1) << channels[i].label;
    EXPECT_EQ(image.width, 8);
    EXPECT_EQ(image.height, 4);
    if (colourChannel) {
      EXPECT_NEAR(image.pixels[0], 255, 3);
      EXPECT_NEAR(image.pixels[1], 128, 3);
      EXPECT_NEAR(image.pixels[2], 0, 3);
    } else {
      EXPECT_NEAR(image.pixels[0], 151, 3);  // luma of (255, 128, 0)
    }
  }
  EXPECT_TRUE(Console().empty());
}

TEST_F(ChannelTest, BakedImageNamesCarryFrameAndCleanMaterialName) {
  data.SetBool(MAT_USE_EXPONENT, TRUE);
  Link(MAT_EXPONENT_SHADER, Xgradient);
  sd.frame = 3;
  const std::string file = textures + "/Mat_3_exponent.jpg";
  EXPECT_EQ(Write(AllChannels()[2].write),
            "exponent{texture{texture_index=0}};" + TextureText(file, kValues22));
  EXPECT_TRUE(fs::exists(file));

  // Separators and control characters would leave the textures folder or spoil the name.
  sd.frame = 0;
  const std::string clean = textures + "/a_b_c_d_0_exponent.jpg";
  EXPECT_EQ(Write(AllChannels()[2].write, String("a/b\\c\x01"
                                                 "d")),
            "exponent{texture{texture_index=1}};" + TextureText(clean, kValues22));
  EXPECT_TRUE(fs::exists(clean));
  EXPECT_EQ(BakedFiles().size(), 2u);

  EXPECT_EQ(MaterialChannels::BakeFileName(String("L\xc2\x85m\x7f\xc3\xa4"), 12, "_x.jpg"),
            "L_m_\xc3\xa4_12_x.jpg");
  EXPECT_EQ(MaterialChannels::BakeFileName(String("Mat_mid0"), 0, "_albedo.jpg"), "Mat_mid0_0_albedo.jpg");
}

TEST_F(ChannelTest, OvlShadersAreEmbeddedNeverBaked) {
  const auto channels = AllChannels();
  for (LONG type : {ID_OVLNOISE, ID_OVLGRADIENT, ID_OVLSHADER, ID_OVLNORMAL, ID_OVLBLEND}) {
    for (size_t i = 0; i < channels.size(); ++i) {
      data.SetBool(channels[i].use, TRUE);
      Link(channels[i].link, type);
      material->textureIndex = 1;
      Write(channels[i].write);
      EXPECT_EQ(ChildNames(model), i == 8 ? "base_emission;layer;emission" : kChannelElement[i])
          << channels[i].label << " " << type;
      EXPECT_EQ(model.FirstChildElement()->FirstChildElement("texture"), nullptr);
      EXPECT_EQ(material->textureIndex, 1);
    }
  }
  EXPECT_TRUE(BakedFiles().empty());
}

TEST_F(ChannelTest, SwitchedOffChannelsWriteAndBakeNothing) {
  const auto channels = AllChannels();
  for (size_t i = 0; i < channels.size(); ++i) {
    Link(channels[i].link, Xcolor);
    data.SetBool(channels[i].use, FALSE);
    material->textureIndex = 5;
    EXPECT_EQ(Write(channels[i].write), "") << channels[i].label;
    EXPECT_EQ(material->textureIndex, 5);
  }
  EXPECT_TRUE(sd.lightLayers.empty());
  EXPECT_TRUE(BakedFiles().empty());
  EXPECT_FALSE(fs::exists(textures));
}

TEST_F(ChannelTest, MissingInputsWriteNothing) {
  const auto channels = AllChannels();
  OrvaneSceneData noDocument;
  for (size_t i = 0; i < channels.size(); ++i) {
    data.SetBool(channels[i].use, TRUE);
    Link(channels[i].link, Xcolor);
    model.Clear();
    channels[i].write(*material, String("Mat"), nullptr, &model);
    channels[i].write(*material, String("Mat"), &data, nullptr);
    material->sceneData = &noDocument;
    channels[i].write(*material, String("Mat"), &data, &model);
    material->sceneData = nullptr;
    channels[i].write(*material, String("Mat"), &data, &model);
    material->sceneData = &sd;
    EXPECT_EQ(Flatten(&model), "") << channels[i].label;
  }
  EXPECT_TRUE(BakedFiles().empty());
}

TEST_F(ChannelTest, LinksThatHoldNoShaderCountAsNone) {
  data.SetBool(MAT_USE_SIGMA, TRUE);
  data.SetBool(MAT_USE_BUMP, TRUE);
  data.SetLink(MAT_SIGMA_SHADER, mat);                // a material, not a shader
  BaseShader* elsewhere = BaseShader::Alloc(Xcolor);  // in no document
  data.SetLink(MAT_BUMP_SHADER, elsewhere);
  EXPECT_EQ(Write(AllChannels()[3].write), "sigma{constant=0.200000}");
  EXPECT_EQ(Write(AllChannels()[5].write), "");
  BaseShader::Free(elsewhere);
}

TEST_F(ChannelTest, TextureIndicesCountAcrossChannelsInWritingOrder) {
  for (int use : {MAT_USE_ALBEDO, MAT_USE_EXPONENT, MAT_USE_BUMP, MAT_USE_DISPLACEMENT, MAT_USE_EMISSION})
    data.SetBool(use, TRUE);
  Link(MAT_ALBEDO_SHADER, Xbitmap);
  Link(MAT_EXPONENT_SHADER, Xgradient);
  Link(MAT_BUMP_SHADER, Xbitmap);
  Link(MAT_DISPLACEMENT_SHADER, ID_OVLNOISE);
  Link(MAT_EMISSION_SHADER, Xbitmap);
  model.Clear();
  material->MaterialExportAlbedo(String("Mat"), &data, 1, &model);
  material->MaterialExportExponent(String("Mat"), &data, &model);
  material->MaterialExportBump(String("Mat"), &data, &model);
  material->MaterialExportDisplacement(String("Mat"), &data, &model);
  material->MaterialExportEmission(String("Mat"), &data, &model);
  EXPECT_EQ(ChildNames(model),
            "diffuse_albedo;texture;exponent;texture;bump;texture;displacement;base_emission;layer;texture;"
            "emission");
  std::vector<std::string> indices;
  for (const char* channel : {"diffuse_albedo", "exponent", "bump", "emission"})
    indices.push_back(
        model.FirstChildElement(channel)->FirstChildElement("texture")->FirstChildElement()->GetText());
  EXPECT_EQ(indices, (std::vector<std::string>{"0", "1", "2", "3"}));
  EXPECT_EQ(material->textureIndex, 4);
}

TEST_F(ChannelTest, FailedBakesFallBackAndAreReported) {
  struct Cause {
    const char* what;
    LONG width, height;
    LONG shader;
    bool unwritable;
  };
  const Cause causes[] = {{"size 0", 0, 0, Xcolor, false},
                          {"width above 16384", 16385, 4, Xcolor, false},
                          {"negative height", 8, -1, Xcolor, false},
                          {"shader refuses", 8, 4, kFailingShader, false},
                          {"folder unwritable", 8, 4, Xcolor, true}};
  // Channels with a constant write it; bump and the emission's texture drop their element.
  const struct {
    size_t channel;
    std::string expected;
  } rows[] = {{0, "albedo{constant{" + kRgb08 + "}}"},
              {2, "exponent{constant=1000.000000}"},
              {4, "blend{constant=0.500000}"},
              {5, ""},
              {6, ""},
              {7, "absorption_layer_transmittance{constant{" + kRgb08 + "}}"},
              {8, kEmissionBase}};
  const auto channels = AllChannels();
  std::ofstream(dir / "occupied") << "a file, not a folder";
  for (const Cause& cause : causes) {
    data.SetLong(MAT_BAKE_WIDTH, cause.width);
    data.SetLong(MAT_BAKE_HEIGHT, cause.height);
    sd.texturesDir = Filename(String(cause.unwritable ? dir / "occupied/textures" : textures));
    for (const auto& row : rows) {
      const Channel& c = channels[row.channel];
      data.SetBool(c.use, TRUE);
      Link(c.link, cause.shader);
      material->textureIndex = 1;
      host::ClearConsole();
      EXPECT_EQ(Write(c.write, String("Lamp_mid2")), row.expected) << cause.what << ": " << c.label;
      EXPECT_EQ(material->textureIndex, 1);
      EXPECT_EQ(Console(), std::vector<std::string>{"Could not bake the " + std::string(c.label) +
                                                    " channel of material Lamp_mid2"})
          << cause.what;
    }
  }
  EXPECT_TRUE(BakedFiles().empty());
}

TEST_F(ChannelTest, LargestBakeSizeStillBakes) {
  data.SetBool(MAT_USE_BUMP, TRUE);
  Link(MAT_BUMP_SHADER, Xgradient);
  data.SetLong(MAT_BAKE_WIDTH, 16384);
  data.SetLong(MAT_BAKE_HEIGHT, 1);
  EXPECT_EQ(ChildNames((Write(AllChannels()[5].write), model)), "bump;texture");
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(textures + "/Mat_0_bump.jpg", &image));
  EXPECT_EQ(image.width, 16384);
  EXPECT_EQ(image.height, 1);
}

TEST_F(ChannelTest, OvlShaderUsedTellsWhetherTextureValuesApply) {
  EXPECT_FALSE(material->OvlShaderUsed(&data, doc, MAT_ALBEDO_SHADER));  // empty link
  const struct {
    LONG type;
    bool used;
  } rows[] = {{ID_OVLNOISE, false}, {ID_OVLSHADER, false}, {ID_OVLNORMAL, false},
              {Xbitmap, true},      {Xcolor, true},        {Xgradient, true}};
  for (const auto& row : rows) {
    BaseShader* sh = Link(MAT_ALBEDO_SHADER, row.type);
    EXPECT_EQ(material->OvlShaderUsed(&data, doc, MAT_ALBEDO_SHADER), row.used) << row.type;
    EXPECT_EQ(material->IsOVLShader(sh), !row.used) << row.type;
  }
  EXPECT_TRUE(material->OvlShaderUsed(nullptr, doc, MAT_ALBEDO_SHADER));
  EXPECT_TRUE(material->OvlShaderUsed(&data, nullptr, MAT_ALBEDO_SHADER));
}

}  // namespace
}  // namespace channeltest
