#include "channel_fixture.h"

namespace fs = std::filesystem;

namespace channeltest {

namespace {

// Stands for every OVL shader type in these tests: only its type counts.
struct OvlStandIn : ShaderData {
  static NodeData* Alloc() { return new OvlStandIn; }
};
struct FailingShader : ShaderData {
  static NodeData* Alloc() { return new FailingShader; }
  LONG InitRender(BaseShader*, InitRenderStruct*) override { return INITRENDERRESULT_ASSETMISSING; }
};

}  // namespace

void ChannelTest::SetUp() {
  HostTest::SetUp();
  ASSERT_TRUE(RegisterMaterialPlugin(ID_CUSTOMORVANEMATERIAL, "Orvane Material", 0,
                                     CustomOrvaneMaterial::Alloc, "", 0));
  for (LONG id : {ID_OVLSHADER, ID_OVLNOISE, ID_OVLBLEND, ID_OVLGRADIENT, ID_OVLNORMAL})
    ASSERT_TRUE(RegisterShaderPlugin(id, "OVL", 0, OvlStandIn::Alloc, "", 0));
  ASSERT_TRUE(RegisterShaderPlugin(kFailingShader, "Failing", 0, FailingShader::Alloc, "", 0));

  wood = dir / "wood.png";
  ASSERT_TRUE(WritePngFile(wood, 2, 2, std::vector<unsigned char>(12, 90)));
  textures = dir / "textures.scene";
  doc = BaseDocument::Alloc();
  doc->SetDocumentPath(Filename(String(dir.path())));
  mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  ASSERT_NE(mat, nullptr);
  doc->InsertMaterial(mat);
  material = dynamic_cast<CustomOrvaneMaterial*>(mat->GetNodeData());
  ASSERT_NE(material, nullptr);

  sd.document = doc;
  sd.sceneDir = Filename(String(dir.path()));
  sd.texturesDir = Filename(String(textures));
  sd.frame = 0;
  material->sceneData = &sd;
  material->textureIndex = 0;
  material->background = 0;
  FillDefaults(&data);
  // Small images keep the bakes quick.
  data.SetLong(MAT_BAKE_WIDTH, 8);
  data.SetLong(MAT_BAKE_HEIGHT, 4);
}

void ChannelTest::TearDown() {
  BaseDocument::Free(doc);
  HostTest::TearDown();
}

void ChannelTest::FillDefaults(BaseContainer* d) {
  d->SetVector(MAT_ALBEDO_COLOR, LVector(1.0));
  d->SetReal(MAT_ALBEDO_BRIGHTNESS, 0.8);
  d->SetReal(MAT_ALBEDO_GAMMA, 2.2);
  d->SetBool(MAT_ALBEDO_IS_SPECULAR, FALSE);
  const struct {
    int first;
    double exponent, b;
  } textures[] = {{MAT_ALBEDO_TEX_EXPONENT, 2.2, 1.0},
                  {MAT_EXPONENT_TEX_EXPONENT, 2.2, 1.0},
                  {MAT_SIGMA_TEX_EXPONENT, 1.0, 1.0},
                  {MAT_ALPHA_TEX_EXPONENT, 1.0, 1.0},
                  {MAT_BUMP_TEX_EXPONENT, 1.0, 0.001},
                  {MAT_DISPLACEMENT_TEX_EXPONENT, 1.0, 0.001},
                  {MAT_ABSORPTION_LAYER_TEX_EXPONENT, 2.2, 1.0},
                  {MAT_EMISSION_TEX_EXPONENT, 2.2, 1.0}};
  for (const auto& t : textures) {  // exponent, a, b, c follow one another
    d->SetReal(t.first, t.exponent);
    d->SetReal(t.first + 1, 0.0);
    d->SetReal(t.first + 2, t.b);
    d->SetReal(t.first + 3, 0.0);
  }
  d->SetReal(MAT_EXPONENT, 1000.0);
  d->SetReal(MAT_SIGMA, 0.2);
  d->SetReal(MAT_ALPHA_VALUE, 0.5);
  d->SetVector(MAT_ABSORPTION_LAYER_COLOR, LVector(1.0));
  d->SetReal(MAT_ABSORPTION_LAYER_BRIGHTNESS, 0.8);
  d->SetReal(MAT_ABSORPTION_LAYER_GAMMA, 2.2);
  d->SetLong(MAT_EMISSION_SPECTRUM, MAT_SPECTRUM_RGB);
  d->SetVector(MAT_EMISSION_COLOR, LVector(1.0));
  d->SetReal(MAT_EMISSION_BRIGHTNESS, 0.8);
  d->SetReal(MAT_EMISSION_GAMMA, 1.0);
  d->SetReal(MAT_EMISSION_TEMPERATURE, 6500.0);
  d->SetReal(MAT_EMISSION_GAIN, 1.0);
  d->SetReal(MAT_EMISSION_PEAK_MIN, 100.0);
  d->SetReal(MAT_EMISSION_PEAK_WIDTH, 600.0);
  d->SetReal(MAT_EMISSION_BASE_VALUE, 1.0);
  d->SetReal(MAT_EMISSION_PEAK_VALUE, 1.0);
  d->SetReal(MAT_EMISSION_UNIFORM, 1.0);
  d->SetLong(MAT_EMISSION_TAB_VALUES, 0);
  d->SetLong(MAT_LIGHT_LAYER, 0);
  d->SetLong(MAT_BAKE_WIDTH, 1024);
  d->SetLong(MAT_BAKE_HEIGHT, 1024);
}

BaseShader* ChannelTest::Link(int linkId, LONG type) {
  BaseShader* sh = BaseShader::Alloc(type);
  if (!sh) return nullptr;
  sh->InsertUnder(mat);
  if (type == Xbitmap) sh->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, Filename("wood.png"));
  data.SetLink(linkId, sh);
  return sh;
}

std::string ChannelTest::Write(const Writer& write, const String& name) {
  model.Clear();
  write(*material, name, &data, &model);
  return Flatten(&model);
}

std::vector<std::string> ChannelTest::BakedFiles() const {
  std::vector<std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
    if (entry.path().extension() == ".jpg") out.push_back(entry.path().string());
  return out;
}

}  // namespace channeltest
