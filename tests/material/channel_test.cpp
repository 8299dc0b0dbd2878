// The channel writers of the plug-in material: constants, bitmap textures, baked images, OVL
// shaders, switches, texture numbering, failed bakes, and the emission's spectra and light layers.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "material/channelrule.h"
#include "material_test_support.h"
#include "support/image_files.h"
#include "support/xml_text.h"

namespace fs = std::filesystem;

namespace {

/// A shader type whose preparation always fails.
constexpr LONG kFailingShader = 1099301;

// Stands for every OVL shader type in these tests: only its type counts.
struct OvlStandIn : ShaderData {
  static NodeData* Alloc() { return new OvlStandIn; }
};
struct FailingShader : ShaderData {
  static NodeData* Alloc() { return new FailingShader; }
  LONG InitRender(BaseShader*, InitRenderStruct*) override { return INITRENDERRESULT_ASSETMISSING; }
};

const std::string kRgb08 = "rgb{rgb=0.800000 0.800000 0.800000;gamma=2.200000}";
const std::string kEmissionBase =
    "base_emission{constant{rgb{rgb=0.800000 0.800000 0.800000;gamma=1.000000}}};layer=0";
const char* const kValues22 = "exponent=2.200000;a=0.000000;b=1.000000;c=0.000000";
const char* const kValues10 = "exponent=1.000000;a=0.000000;b=1.000000;c=0.000000";
const char* const kValuesBump = "exponent=1.000000;a=0.000000;b=0.001000;c=0.000000";
constexpr size_t kEmission = 8;  // the last channel

// The channel elements' common texture definition text, for a path and texture values.
std::string TextureText(const std::string& path, const std::string& values) {
  return "texture{uv_set=default;path=" + path + ";" + values + "}";
}

// The names of the element's children, joined by ";".
std::string ChildNames(const TiXmlElement& e) {
  std::string out;
  for (const TiXmlElement* c = e.FirstChildElement(); c; c = c->NextSiblingElement())
    out += (out.empty() ? "" : ";") + std::string(c->Value());
  return out;
}

// The writers as one signature; the albedo's kind is bound.
typedef std::function<void(CustomOrvaneMaterial&, String, BaseContainer*, TiXmlElement*)> Writer;

// One channel of the material: its writer, switch, link, baked-image suffix, its element for
// texture references and OVL programs, its texture values, and what it writes without a shader.
struct Channel {
  const char* label;
  Writer write;
  int use, link;
  const char* suffix;
  const char* element;
  const char* values;
  std::string constant;
  bool colour;  // baked to a colour image, else greyscale
};

const std::vector<Channel>& Channels() {
  using M = CustomOrvaneMaterial;
  static const std::vector<Channel> channels = {
      {"albedo",
       [](M& m, String n, BaseContainer* d, TiXmlElement* p) { m.MaterialExportAlbedo(n, d, 0, p); },
       MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, "_albedo.jpg", "albedo", kValues22,
       "albedo{constant{" + kRgb08 + "}}", true},
      {"phong albedo",
       [](M& m, String n, BaseContainer* d, TiXmlElement* p) { m.MaterialExportAlbedo(n, d, 1, p); },
       MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, "_albedo.jpg", "diffuse_albedo", kValues22,
       "diffuse_albedo{constant{" + kRgb08 + "}}", true},
      {"exponent", &M::MaterialExportExponent, MAT_USE_EXPONENT, MAT_EXPONENT_SHADER, "_exponent.jpg",
       "exponent", kValues22, "exponent{constant=1000.000000}", false},
      {"sigma", &M::MaterialExportSigma, MAT_USE_SIGMA, MAT_SIGMA_SHADER, "_sigma.jpg", "sigma", kValues10,
       "sigma{constant=0.200000}", false},
      {"blend", &M::MaterialExportBlend, MAT_USE_ALPHA, MAT_ALPHA_SHADER, "_alpha.jpg", "blend", kValues10,
       "blend{constant=0.500000}", false},
      // Bump and displacement have no constant.
      {"bump", &M::MaterialExportBump, MAT_USE_BUMP, MAT_BUMP_SHADER, "_bump.jpg", "bump", kValuesBump, "",
       false},
      {"displacement", &M::MaterialExportDisplacement, MAT_USE_DISPLACEMENT, MAT_DISPLACEMENT_SHADER,
       "_displacement.jpg", "displacement", kValuesBump, "", false},
      {"absorption layer", &M::MaterialExportAbsorptionLayer, MAT_USE_ABSORPTION_LAYER,
       MAT_ABSORPTION_LAYER_SHADER, "_absorption_layer.jpg", "absorption_layer_transmittance", kValues22,
       "absorption_layer_transmittance{constant{" + kRgb08 + "}}", true},
      {"emission", &M::MaterialExportEmission, MAT_USE_EMISSION, MAT_EMISSION_SHADER, "_emission.jpg",
       "emission", kValues22, kEmissionBase, true},
  };
  return channels;
}

// A material of the plug-in type, with a new material's values, in a document saved in a temporary
// folder that holds the image "wood.png"; its export writes to the folder's "textures.scene".
class ChannelTest : public MaterialTest {
 protected:
  void SetUp() override {
    MaterialTest::SetUp();
    for (LONG id : {ID_OVLSHADER, ID_OVLNOISE, ID_OVLBLEND, ID_OVLGRADIENT, ID_OVLNORMAL})
      ASSERT_TRUE(RegisterShaderPlugin(id, "OVL", 0, OvlStandIn::Alloc, "", 0));
    ASSERT_TRUE(RegisterShaderPlugin(kFailingShader, "Failing", 0, FailingShader::Alloc, "", 0));

    wood = dir / "wood.png";
    ASSERT_TRUE(WritePngFile(wood, 2, 2, std::vector<unsigned char>(12, 90)));
    textures = dir / "textures.scene";
    doc->SetDocumentPath(Filename(String(dir.path())));
    mat = Add("Mat");
    material = Data(mat);
    sd.sceneDir = Filename(String(dir.path()));
    sd.texturesDir = Filename(String(textures));
    material->sceneData = &sd;
    CustomOrvaneMaterial::WriteDefaults(&data, 0);
    // Small images keep the bakes quick.
    data.SetLong(MAT_BAKE_WIDTH, 8);
    data.SetLong(MAT_BAKE_HEIGHT, 4);
  }

  // A new shader of `type` under the material, linked from `linkId` of `data`; a bitmap shader
  // names "wood.png".
  BaseShader* Link(int linkId, LONG type) {
    BaseShader* sh = BaseShader::Alloc(type);
    sh->InsertUnder(mat);
    if (type == Xbitmap) sh->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename("wood.png"));
    data.SetLink(linkId, sh);
    return sh;
  }
  // Runs `write` for the material `name` into a new model element; answers its flattened text.
  std::string Write(const Writer& write, const String& name = String("Mat")) {
    model.Clear();
    write(*material, name, &data, &model);
    return Flatten(&model);
  }
  std::string Emit(const String& name = String("Mat")) { return Write(Channels()[kEmission].write, name); }
  // All ".jpg" files under the temporary folder.
  std::vector<std::string> BakedFiles() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
      if (entry.path().extension() == ".jpg") out.push_back(entry.path().string());
    return out;
  }

  TempDir dir;
  BaseMaterial* mat = nullptr;
  CustomOrvaneMaterial* material = nullptr;
  BaseContainer data;
  TiXmlElement model{"diffuse"};
  std::string wood;      // full path of "wood.png"
  std::string textures;  // full path of the textures folder
};

TEST_F(ChannelTest, AlbedoElementAndColourFollowTheModelAndParameters) {
  data.SetBool(MAT_USE_ALBEDO, TRUE);
  data.SetBool(MAT_ALBEDO_IS_SPECULAR, TRUE);
  EXPECT_EQ(Write(Channels()[1].write), "specular_reflectivity{constant{" + kRgb08 + "}}");
  EXPECT_EQ(Write(Channels()[0].write), "albedo{constant{" + kRgb08 + "}}");  // kind 0 ignores it

  data.SetVector(MAT_ALBEDO_COLOR, LVector(0.5, 1.0, 0.0));
  data.SetReal(MAT_ALBEDO_BRIGHTNESS, 2.0);
  EXPECT_EQ(Write(Channels()[0].write),
            "albedo{constant{rgb{rgb=1.000000 2.000000 0.000000;gamma=2.200000}}}");
  data.SetBool(MAT_USE_ABSORPTION_LAYER, TRUE);
  data.SetVector(MAT_ABSORPTION_LAYER_COLOR, LVector(0.5, 1.0, 0.0));
  data.SetReal(MAT_ABSORPTION_LAYER_BRIGHTNESS, 2.0);
  EXPECT_EQ(Write(Channels()[7].write),
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

// Without a shader a channel writes its constant; a bitmap names its own file; other host shaders
// are baked to JPEG images at the bake size, colour channels in colour, real-valued ones in grey.
TEST_F(ChannelTest, ConstantsBitmapsAndBakedHostShaders) {
  for (LONG type : {LONG(0), LONG(Xbitmap), LONG(Xcolor)}) {
    const bool baked = type == Xcolor;
    for (size_t i = 0; i < Channels().size(); ++i) {
      const Channel& c = Channels()[i];
      SCOPED_TRACE(std::string(c.label) + " " + std::to_string(type));
      data.SetBool(c.use, TRUE);
      material->textureIndex = 2;
      if (!type) {
        EXPECT_EQ(Write(c.write), c.constant);
        EXPECT_EQ(material->textureIndex, 2);
        continue;
      }
      BaseShader* sh = Link(c.link, type);
      if (baked) sh->GetDataInstance()->SetVector(COLORSHADER_COLOR, LVector(1.0, 0.5, 0.0));
      const std::string file = baked ? textures + "/Mat_0" + c.suffix : wood;
      const std::string definition = TextureText(file, c.values);
      const std::string reference = std::string(c.element) + "{texture{texture_index=2}}";
      // A bitmap's definition stands before the emission element, every other one after its element.
      std::string expected = reference + ";" + definition;
      if (i == kEmission) expected = kEmissionBase + ";" + (baked ? expected : definition + ";" + reference);
      EXPECT_EQ(Write(c.write), expected);
      EXPECT_EQ(material->textureIndex, 3);
      if (!baked) continue;

      DecodedImage image;
      ASSERT_TRUE(ReadJpegFile(file, &image)) << file;
      EXPECT_EQ(image.components, c.colour ? 3 : 1);
      EXPECT_EQ(image.width, 8);
      EXPECT_EQ(image.height, 4);
      if (c.colour) {
        EXPECT_NEAR(image.pixels[0], 255, 3);
        EXPECT_NEAR(image.pixels[1], 128, 3);
        EXPECT_NEAR(image.pixels[2], 0, 3);
      } else {
        EXPECT_NEAR(image.pixels[0], 151, 3);  // luma of (255, 128, 0)
      }
    }
    if (!baked) {
      EXPECT_TRUE(BakedFiles().empty());
    }
  }
  EXPECT_TRUE(Console().empty());
}

// A bitmap's file is looked for beside the document and in its "tex" folder; a file that is not
// found is written under the name it has, and the console says so.
TEST_F(ChannelTest, BitmapFilesAreResolvedAgainstTheDocument) {
  fs::create_directories(dir / "tex");
  std::ofstream(dir / "tex/bark.png") << "png";
  const struct {
    std::string file;
    std::string path;
    bool reported;
  } cases[] = {
      {"C:/maps/w\xC3\xB6od.png", "C:/maps/w\xC3\xB6od.png", false},  // a drive letter is taken as it is
      {"bark.png", dir / "tex/bark.png", false},
      {"/elsewhere/bark.png", dir / "tex/bark.png", false},
      {"missing.png", "missing.png", true},  // an absolute path not found: the runner's material test
      {"", "", false},
  };
  data.SetBool(MAT_USE_ALBEDO, TRUE);
  BaseShader* sh = Link(MAT_ALBEDO_SHADER, Xbitmap);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    host::ClearConsole();
    sh->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename(String(c.file)));
    material->textureIndex = 0;
    EXPECT_EQ(Write(Channels()[0].write),
              "albedo{texture{texture_index=0}};" + TextureText(c.path, kValues22));
    EXPECT_EQ(Console(), std::vector<std::string>(
                             c.reported, "Could not find the texture " + c.path +
                                             " of material Mat; it is written under the name it has"));
  }
}

TEST_F(ChannelTest, BakedImageNamesCarryFrameAndCleanMaterialName) {
  data.SetBool(MAT_USE_EXPONENT, TRUE);
  Link(MAT_EXPONENT_SHADER, Xgradient);
  sd.frame = 3;
  const std::string file = textures + "/Mat_3_exponent.jpg";
  EXPECT_EQ(Write(Channels()[2].write), "exponent{texture{texture_index=0}};" + TextureText(file, kValues22));
  EXPECT_TRUE(fs::exists(file));

  // Separators and control characters would leave the textures folder or spoil the name.
  sd.frame = 0;
  const std::string clean = textures + "/a_b_c_d_0_exponent.jpg";
  EXPECT_EQ(Write(Channels()[2].write, String("a/b\\c\x01"
                                              "d")),
            "exponent{texture{texture_index=1}};" + TextureText(clean, kValues22));
  EXPECT_TRUE(fs::exists(clean));
  EXPECT_EQ(BakedFiles().size(), 2u);

  EXPECT_EQ(MaterialChannels::BakeFileName(String("L\xc2\x85m\x7f\xc3\xa4"), 12, "_x.jpg"),
            "L_m_\xc3\xa4_12_x.jpg");
  EXPECT_EQ(MaterialChannels::BakeFileName(String("Mat_mid0"), 0, "_albedo.jpg"), "Mat_mid0_0_albedo.jpg");

  // The largest bake size still bakes.
  data.SetBool(MAT_USE_BUMP, TRUE);
  Link(MAT_BUMP_SHADER, Xgradient);
  data.SetLong(MAT_BAKE_WIDTH, 16384);
  data.SetLong(MAT_BAKE_HEIGHT, 1);
  EXPECT_EQ(ChildNames((Write(Channels()[5].write), model)), "bump;texture");
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(textures + "/Mat_0_bump.jpg", &image));
  EXPECT_EQ(image.width, 16384);
  EXPECT_EQ(image.height, 1);
}

TEST_F(ChannelTest, OvlShadersAreEmbeddedNeverBaked) {
  for (LONG type : {ID_OVLNOISE, ID_OVLGRADIENT, ID_OVLSHADER, ID_OVLNORMAL, ID_OVLBLEND}) {
    for (size_t i = 0; i < Channels().size(); ++i) {
      const Channel& c = Channels()[i];
      SCOPED_TRACE(std::string(c.label) + " " + std::to_string(type));
      data.SetBool(c.use, TRUE);
      Link(c.link, type);
      material->textureIndex = 1;
      Write(c.write);
      EXPECT_EQ(ChildNames(model), i == kEmission ? "base_emission;layer;emission" : c.element);
      EXPECT_EQ(model.FirstChildElement()->FirstChildElement("texture"), nullptr);
      EXPECT_EQ(material->textureIndex, 1);
    }
  }
  EXPECT_TRUE(BakedFiles().empty());
}

TEST_F(ChannelTest, SwitchedOffChannelsAndMissingInputsWriteAndBakeNothing) {
  for (const Channel& c : Channels()) {
    Link(c.link, Xcolor);
    data.SetBool(c.use, FALSE);
    material->textureIndex = 5;
    EXPECT_EQ(Write(c.write), "") << c.label;
    EXPECT_EQ(material->textureIndex, 5);
  }
  EXPECT_TRUE(sd.lightLayers.empty());
  EXPECT_FALSE(fs::exists(textures));

  OrvaneSceneData noDocument;
  for (const Channel& c : Channels()) {
    data.SetBool(c.use, TRUE);
    model.Clear();
    c.write(*material, String("Mat"), nullptr, &model);
    c.write(*material, String("Mat"), &data, nullptr);
    material->sceneData = &noDocument;
    c.write(*material, String("Mat"), &data, &model);
    material->sceneData = nullptr;
    c.write(*material, String("Mat"), &data, &model);
    material->sceneData = &sd;
    EXPECT_EQ(Flatten(&model), "") << c.label;
  }
  EXPECT_TRUE(BakedFiles().empty());
}

TEST_F(ChannelTest, LinksThatHoldNoShaderCountAsNone) {
  data.SetBool(MAT_USE_SIGMA, TRUE);
  data.SetBool(MAT_USE_BUMP, TRUE);
  data.SetLink(MAT_SIGMA_SHADER, mat);                // a material, not a shader
  BaseShader* elsewhere = BaseShader::Alloc(Xcolor);  // in no document
  data.SetLink(MAT_BUMP_SHADER, elsewhere);
  EXPECT_EQ(Write(Channels()[3].write), "sigma{constant=0.200000}");
  EXPECT_EQ(Write(Channels()[5].write), "");
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
  for (size_t i : {size_t(1), size_t(2), size_t(5), size_t(6), kEmission})
    Channels()[i].write(*material, String("Mat"), &data, &model);
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
  // Channels with a constant write it; bump and the emission's texture drop their element, the
  // emission keeps its base and light layer.
  std::ofstream(dir / "occupied") << "a file, not a folder";
  data.SetLong(MAT_LIGHT_LAYER, 4);
  for (const Cause& cause : causes) {
    data.SetLong(MAT_BAKE_WIDTH, cause.width);
    data.SetLong(MAT_BAKE_HEIGHT, cause.height);
    sd.texturesDir = Filename(String(cause.unwritable ? dir / "occupied/textures" : textures));
    for (size_t i : {0, 2, 4, 5, 6, 7, 8}) {
      const Channel& c = Channels()[i];
      SCOPED_TRACE(std::string(cause.what) + ": " + c.label);
      data.SetBool(c.use, TRUE);
      Link(c.link, cause.shader);
      material->textureIndex = 1;
      host::ClearConsole();
      EXPECT_EQ(Write(c.write, String("Lamp_mid2")), c.constant);
      EXPECT_EQ(material->textureIndex, 1);
      // A refused folder is not the channel's fault: the scene's last line names the folder.
      const std::vector<std::string> said{"Could not bake the " + std::string(c.label) +
                                          " channel of material Lamp_mid2"};
      EXPECT_EQ(Console(), cause.unwritable ? std::vector<std::string>{} : said);
    }
  }
  EXPECT_EQ(sd.FolderRefusal(), "the folder " + dir / "occupied/textures" + ": Not a directory");
  EXPECT_TRUE(BakedFiles().empty());
  EXPECT_EQ(sd.lightLayers, (std::map<int, int>{{4, 0}}));
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

TEST_F(ChannelTest, EmissionOfEverySpectrumKind) {
  data.SetBool(MAT_USE_EMISSION, TRUE);
  const struct {
    LONG kind;
    std::string constant;
  } rows[] = {
      {MAT_SPECTRUM_RGB, "{rgb{rgb=0.800000 0.800000 0.800000;gamma=1.000000}}"},
      {MAT_SPECTRUM_BLACKBODY, "{blackbody{temperature=6500.000000;gain=1.000000}}"},
      {MAT_SPECTRUM_PEAK,
       "{peak{peak_min=100.000000;peak_width=600.000000;base_value=1.000000;peak_value=1.000000}}"},
      {MAT_SPECTRUM_UNIFORM, "{uniform{value=1.000000}}"},
      {MAT_SPECTRUM_TABULATED, "{regular_tabulated{start_wavelength=;end_wavelength=;num_values=0;values=}}"},
      {6103, ""},
  };
  for (const auto& row : rows) {
    data.SetLong(MAT_EMISSION_SPECTRUM, row.kind);
    EXPECT_EQ(Emit(), "base_emission{constant" + row.constant + "};layer=0") << row.kind;
  }

  // Changed values, and the tabulated texts written as they stand.
  data.SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_RGB);
  data.SetVector(MAT_EMISSION_COLOR, LVector(0.5, 1.0, 0.0));
  data.SetReal(MAT_EMISSION_BRIGHTNESS, 3.0);
  data.SetReal(MAT_EMISSION_GAMMA, 2.2);
  EXPECT_EQ(Emit(), "base_emission{constant{rgb{rgb=1.500000 3.000000 0.000000;gamma=2.200000}}};layer=0");
  data.SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_TABULATED);
  data.SetString(MAT_EMISSION_TAB_START, String("380"));
  data.SetString(MAT_EMISSION_TAB_END, String("720.5"));
  data.SetLong(MAT_EMISSION_TAB_COUNT, 4);
  data.SetString(MAT_EMISSION_TAB_VALUES, String("0.1 0.2 x"));
  EXPECT_EQ(Emit(),
            "base_emission{constant{regular_tabulated{start_wavelength=380;end_wavelength=720.5;"
            "num_values=4;values=0.1 0.2 x}}};layer=0");
}

TEST_F(ChannelTest, LightLayersGetDenseIndicesInOrderOfFirstUse) {
  data.SetBool(MAT_USE_EMISSION, TRUE);
  std::vector<std::string> layers;
  for (LONG layer : {3, 1, 3, 0}) {
    data.SetLong(MAT_LIGHT_LAYER, layer);
    Emit();
    layers.push_back(model.FirstChildElement("layer")->GetText());
  }
  EXPECT_EQ(layers, (std::vector<std::string>{"0", "1", "0", "2"}));
  EXPECT_EQ(sd.lightLayers, (std::map<int, int>{{3, 0}, {1, 1}, {0, 2}}));
}

TEST_F(ChannelTest, BackgroundMaterialEmissionTexturesGetBackgroundCoordinates) {
  data.SetBool(MAT_USE_EMISSION, TRUE);
  const std::string coords =
      ";tex_coord_generation{spherical{rotation{axis_rotation{axis=0.000000 0.000000 "
      "1.000000;angle=1.600000}}}}";
  const std::string baked = textures + "/Sky_0_emission.jpg";
  for (int background : {0, 1}) {
    material->background = background;
    material->textureIndex = 0;
    const std::string values = kValues22 + (background ? coords : "");
    Link(MAT_EMISSION_SHADER, Xbitmap);
    EXPECT_EQ(Emit(),
              kEmissionBase + ";" + TextureText(wood, values) + ";emission{texture{texture_index=0}}");
    Link(MAT_EMISSION_SHADER, Xgradient);
    EXPECT_EQ(Emit(String("Sky")),
              kEmissionBase + ";emission{texture{texture_index=1}};" + TextureText(baked, values));
    EXPECT_EQ(material->textureIndex, 2);
  }
  DecodedImage image;
  ASSERT_TRUE(ReadJpegFile(baked, &image));
  EXPECT_EQ(image.components, 3);
}

}  // namespace
