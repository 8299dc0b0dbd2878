// The model writers of the plug-in material: every model's element tree, fresh and with every
// channel on, the phong options and the clay material.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "export/xmlbuilders.h"
#include "material/material_test_support.h"

namespace {

typedef std::function<void(CustomOrvaneMaterial*, BaseContainer*, TiXmlElement*)> Step;

// Steps that append one part of a model element: an own value, or a channel written by the
// material's own channel writer (so that the expectation holds whatever the channels write).
Step Own(std::function<void(TiXmlElement*)> f) {
  return [f](CustomOrvaneMaterial*, BaseContainer*, TiXmlElement* m) { f(m); };
}
const Step kAlbedo0 = [](CustomOrvaneMaterial* c, BaseContainer* d, TiXmlElement* m) {
  c->MaterialExportAlbedo("M_mid0", d, 0, m);
};
const Step kAlbedo1 = [](CustomOrvaneMaterial* c, BaseContainer* d, TiXmlElement* m) {
  c->MaterialExportAlbedo("M_mid0", d, 1, m);
};
#define CHANNEL(fn) [](CustomOrvaneMaterial* c, BaseContainer* d, TiXmlElement* m) { c->fn("M_mid0", d, m); }
const Step kExponent = CHANNEL(MaterialExportExponent);
const Step kSigma = CHANNEL(MaterialExportSigma);
const Step kBump = CHANNEL(MaterialExportBump);
const Step kDisplacement = CHANNEL(MaterialExportDisplacement);
const Step kEmission = CHANNEL(MaterialExportEmission);
const Step kAbsorption = CHANNEL(MaterialExportAbsorptionLayer);
#undef CHANNEL
const Step kIor = Own([](TiXmlElement* m) { SceneExportRealValue("ior", 1.6, m); });
const Step kMedium =
    Own([](TiXmlElement* m) { SceneExportStringValue("internal_medium_name", "MedM_mid0", m); });
const Step kTransparent = Own([](TiXmlElement* m) { SceneExportBoolValue("transparent", 1, m); });

const std::string kGrey =
    "<constant><rgb><rgb>0.800000 0.800000 0.800000</rgb><gamma>2.200000</gamma></rgb></constant>";
const std::string kAlbedoText = "<albedo>" + kGrey + "</albedo>";
const std::string kExponentText = "<exponent><constant>1000.000000</constant></exponent>";
const std::string kMediumText = "<internal_medium_name>MedM_mid0</internal_medium_name>";

struct ModelRow {
  LONG type;
  const char* element;
  std::vector<Step> children;  // with every channel on
  std::string fresh;           // the model element of a new material
};

const std::vector<ModelRow>& Models() {
  static const std::vector<ModelRow> rows = {
      {MAT_TYPE_DIFFUSE,
       "diffuse",
       {kAlbedo0, kBump, kDisplacement, kEmission},
       "<diffuse>" + kAlbedoText + "</diffuse>"},
      {MAT_TYPE_DIFFUSE_TRANSMITTER,
       "diffuse_transmitter",
       {kAlbedo0, kBump, kDisplacement, kEmission},
       "<diffuse_transmitter>" + kAlbedoText + "</diffuse_transmitter>"},
      {MAT_TYPE_OREN_NAYAR,
       "oren_nayar",
       {kSigma, kAlbedo0, kBump, kDisplacement, kEmission},
       "<oren_nayar><sigma><constant>0.200000</constant></sigma>" + kAlbedoText + "</oren_nayar>"},
      {MAT_TYPE_PHONG,
       "phong",
       {kIor, kAlbedo1, kExponent, kBump, kDisplacement, kEmission},
       "<phong><ior>1.600000</ior><diffuse_albedo>" + kGrey + "</diffuse_albedo>" + kExponentText +
           "</phong>"},
      {MAT_TYPE_SPECULAR,
       "specular",
       {kMedium, kTransparent, kBump, kDisplacement, kEmission, kAbsorption},
       "<specular>" + kMediumText + "<transparent>true</transparent></specular>"},
      {MAT_TYPE_GLOSSY_TRANSPARENT,
       "glossy_transparent",
       {kMedium, kBump, kDisplacement, kExponent, kEmission, kAbsorption},
       "<glossy_transparent>" + kMediumText + kExponentText + "</glossy_transparent>"},
  };
  return rows;
}

class ModelsTest : public MaterialTest {
 protected:
  // The material element the model writers should give `mat`: "name", then the model element
  // holding the row's parts in order.
  std::string Expected(BaseMaterial* mat, const ModelRow& row) {
    CustomOrvaneMaterial* c = Data(mat);
    c->sceneData = &sd;
    c->textureIndex = 0;
    TiXmlElement material("material");
    SceneExportStringValue("name", "M_mid0", &material);
    TiXmlElement* model = new TiXmlElement(row.element);
    material.LinkEndChild(model);
    for (const Step& step : row.children) step(c, mat->GetDataInstance(), model);
    c->sceneData = nullptr;
    return XmlText(&material);
  }

  // The last element the export of `mat` wrote.
  std::string Export(BaseMaterial* mat) {
    root->Clear();
    ExportBaseMaterial(mat, root, nullptr, &sd, 0, 0);
    return root->LastChild() ? XmlText(root->LastChild()) : std::string("(nothing)");
  }
};

const std::string kClay =
    "<oren_nayar><albedo><constant><rgb><rgb>0.500000 0.250000 1.000000</rgb><gamma>2.200000</gamma></rgb>"
    "</constant></albedo><sigma><constant>0.300000</constant></sigma></oren_nayar>";

TEST_F(ModelsTest, EveryModelWritesItsPartsInItsOrderOrClay) {
  sd.clayAlbedo = LVector(0.5, 0.25, 1.0);
  for (const ModelRow& row : Models()) {
    SCOPED_TRACE(row.element);
    BaseDocument::Free(doc);
    doc = BaseDocument::Alloc();
    sd.document = doc;
    BaseMaterial* mat = Add("M", row.type);
    EXPECT_EQ(Export(mat), "<material><name>M_mid0</name>" + row.fresh + "</material>") << "fresh";

    // Clay replaces the model of a fresh material; no medium before it.
    sd.clayMode = 1;
    root->Clear();
    ExportBaseMaterial(mat, root, nullptr, &sd, 0, 0);
    sd.clayMode = 0;
    ASSERT_EQ(Children().size(), 1u);
    EXPECT_EQ(XmlText(root->FirstChild()), "<material><name>M_mid0</name>" + kClay + "</material>");

    // Every channel on, each with its constant.
    BaseContainer* bc = mat->GetDataInstance();
    for (LONG id : {MAT_USE_ALBEDO, MAT_USE_BUMP, MAT_USE_DISPLACEMENT, MAT_USE_EMISSION, MAT_USE_EXPONENT,
                    MAT_USE_SIGMA, MAT_USE_ABSORPTION_LAYER})
      bc->SetBool(id, true);
    EXPECT_EQ(Export(mat), Expected(mat, row)) << "every channel on";
  }
  // A diffuse material with every channel off: an empty model element.
  BaseMaterial* bare = Add("B");
  bare->GetDataInstance()->SetBool(MAT_USE_ALBEDO, false);
  EXPECT_EQ(Export(bare), "<material><name>B_mid1</name><diffuse /></material>");
}

TEST_F(ModelsTest, PhongNkDataAndSpecularAlbedo) {
  BaseMaterial* mat = Add("M", MAT_TYPE_PHONG);
  BaseContainer* bc = mat->GetDataInstance();
  bc->SetBool(MAT_USE_NK, true);
  bc->SetBool(MAT_USE_EXPONENT, false);
  bc->SetBool(MAT_USE_ALBEDO, false);
  EXPECT_EQ(Export(mat),
            "<material><name>M_mid0</name><phong><nk_data>nkdata/cr.nk</nk_data>"
            "<ior>1.600000</ior></phong></material>");
  // A name in the folder already, or in a folder "NKDATA" of its own, is written as it is.
  for (const auto& [file, written] :
       std::vector<std::pair<std::string, std::string>>{{"/lib/NKDATA/au.nk", "/lib/NKDATA/au.nk"},
                                                        {"nkdata/au.nk", "nkdata/au.nk"},
                                                        {"NkData/au.nk", "NkData/au.nk"},
                                                        {"nkdatax/au.nk", "nkdata/nkdatax/au.nk"},
                                                        {"nkdata", "nkdata/nkdata"}}) {
    bc->SetString(MAT_NK_FILE, String(file));
    EXPECT_EQ(Export(mat), "<material><name>M_mid0</name><phong><nk_data>" + written +
                               "</nk_data><ior>1.600000</ior></phong></material>");
  }
  // Without the file name the reader's default is written; without the IOR 0.
  bc->RemoveData(MAT_NK_FILE);
  bc->RemoveData(MAT_PHONG_IOR);
  EXPECT_EQ(Export(mat),
            "<material><name>M_mid0</name><phong><nk_data>nkdata/Al.nk</nk_data>"
            "<ior>0.000000</ior></phong></material>");

  bc->SetBool(MAT_USE_NK, false);
  bc->SetBool(MAT_USE_ALBEDO, true);
  bc->SetBool(MAT_ALBEDO_IS_SPECULAR, true);
  const std::string out = Export(mat);
  EXPECT_NE(out.find("<specular_reflectivity>"), std::string::npos) << out;
  EXPECT_EQ(out.find("<albedo>"), std::string::npos) << out;
}

TEST_F(ModelsTest, ClayReplacesTheNullMaterialButNotBlendOrBackground) {
  sd.clayMode = 1;
  sd.clayAlbedo = LVector(0.5, 0.25, 1.0);
  Add("M", MAT_TYPE_GLOSSY_TRANSPARENT);
  // The null material (its alpha switched off), but not a blend, whose partners are clay.
  BaseMaterial* nothing = Add("N", MAT_TYPE_NULL);
  nothing->GetDataInstance()->SetBool(MAT_USE_ALPHA, false);
  BaseMaterial* blend = Add("B", MAT_TYPE_BLEND);
  blend->GetDataInstance()->SetLink(MAT_BLEND_A, nothing);
  root->Clear();
  ExportBaseMaterial(blend, root, nullptr, &sd, 0, 0);
  EXPECT_EQ(Written(), (std::vector<std::string>{"N_mid1:oren_nayar", "B_mid2:blend"}));
  EXPECT_EQ(Partners("B_mid2"), "N_mid1 nullMat");

  // The background keeps its model, with its medium before it.
  root->Clear();
  ExportBaseMaterial(doc->GetFirstMaterial(), root, nullptr, &sd, 0, 1);
  EXPECT_EQ(Written(), (std::vector<std::string>{"medium", "background_material:glossy_transparent"}));
}

TEST_F(ModelsTest, NullInputsWriteNothing) {
  BaseMaterial* mat = Add("M", MAT_TYPE_PHONG);
  EXPECT_FALSE(Data(mat)->MaterialExportDiffuseMaterial("X", nullptr, root));
  EXPECT_FALSE(Data(mat)->MaterialExportClayMaterial("X", mat, nullptr));
  EXPECT_TRUE(Children().empty());
}

}  // namespace
