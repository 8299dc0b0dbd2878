// The material export dispatch: names, the list of written materials, the alpha wrapper, the null
// material, blend partners, cycles of partner links and host materials.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/helpers.h"
#include "material/material_test_support.h"

namespace {

typedef std::vector<std::string> Names;

class DispatchTest : public MaterialTest {
 protected:
  void Export(BaseMaterial* mat, AtomArray* done = nullptr, int preview = 0, int background = 0) {
    ExportBaseMaterial(mat, root, done, &sd, preview, background);
  }
};

TEST_F(DispatchTest, NamesByPurpose) {
  BaseMaterial* mat = Add("Wood");
  Export(mat, nullptr, 1, 1);
  Export(mat, nullptr, 0, 1);
  Export(mat);
  BaseMaterial* stray = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  stray->SetName("Stray");
  Export(stray);
  BaseMaterial::Free(stray);
  EXPECT_EQ(Written(), (Names{"previewMat:diffuse", "background_material:diffuse", "Wood_mid0:diffuse",
                              "Stray_NID:diffuse"}));
}

TEST_F(DispatchTest, NullInputsAndAListThatHoldsTheMaterialWriteNothing) {
  BaseMaterial* mat = Add("M");
  ExportBaseMaterial(nullptr, root, nullptr, &sd, 0, 0);
  ExportBaseMaterial(mat, nullptr, nullptr, &sd, 0, 0);
  ExportBaseMaterial(mat, root, nullptr, nullptr, 0, 0);
  OrvaneSceneData empty;
  ExportBaseMaterial(mat, root, nullptr, &empty, 0, 0);
  Data(mat)->ExportMaterialXml("M", root, nullptr, 0, &empty);
  EXPECT_TRUE(Children().empty());

  AtomArray* done = AtomArray::Alloc();
  Export(mat, done);
  Export(mat, done);
  EXPECT_EQ(done->GetCount(), 1);
  EXPECT_EQ(Written(), (Names{"M_mid0:diffuse"}));
  AtomArray::Free(done);
  // The export state is cleared again.
  EXPECT_EQ(Data(mat)->sceneData, nullptr);
  EXPECT_EQ(Data(mat)->doneList, nullptr);
}

TEST_F(DispatchTest, AlphaWrapperOrderAndNames) {
  BaseMaterial* glass = Add("Glass", MAT_TYPE_SPECULAR);
  BaseMaterial* behind = Add("Behind");
  BaseContainer* bc = glass->GetDataInstance();
  bc->SetBool(MAT_USE_ALPHA, true);
  bc->SetLink(MAT_BLEND_A, behind);
  bc->SetBool(MAT_STEP_BLEND, true);
  Export(glass);
  const Names written = Written();
  // The medium comes first.
  ASSERT_EQ(written.size(), 4u);
  EXPECT_EQ(written[0], "medium");
  const Names materials(written.end() - 3, written.end());
  EXPECT_EQ(materials, (Names{"Glass_mid0_b_l_e_n_d_A:specular", "Behind_mid1:diffuse", "Glass_mid0:blend"}));
  EXPECT_EQ(Partners("Glass_mid0"), "Glass_mid0_b_l_e_n_d_A Behind_mid1");
  const TiXmlElement* inner = root->LastChild()->PreviousSibling()->PreviousSibling()->ToElement();
  EXPECT_STREQ(inner->FirstChildElement("specular")->FirstChildElement("internal_medium_name")->GetText(),
               "MedGlass_mid0_b_l_e_n_d_A");
  const TiXmlElement* blend = root->LastChild()->ToElement()->FirstChildElement("blend");
  EXPECT_STREQ(blend->FirstChildElement("step_blend")->GetText(), "true");
  EXPECT_EQ(std::string(blend->FirstChildElement()->Value()), "a_name");

  // Without a partner, or with one outside the document, the cut-out shows the null material.
  root->Clear();
  BaseMaterial* stray = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  bc->SetLink(MAT_BLEND_A, stray);
  Export(glass);
  EXPECT_EQ(Partners("Glass_mid0"), "Glass_mid0_b_l_e_n_d_A nullMat");
  BaseMaterial::Free(stray);
}

TEST_F(DispatchTest, NullMaterial) {
  // As created its alpha is on: only the wrapper, over the scene's null material.
  BaseMaterial* hole = Add("Hole", MAT_TYPE_NULL);
  Export(hole);
  EXPECT_EQ(Written(), (Names{"Hole_mid0:blend"}));
  EXPECT_EQ(Partners("Hole_mid0"), "nullMat nullMat");

  // Alpha off: a null material of its own name, so that objects that use it find it; a model this
  // build does not know is written the same way.
  hole->GetDataInstance()->SetBool(MAT_USE_ALPHA, false);
  for (LONG type : {LONG(MAT_TYPE_NULL), LONG(7777)}) {
    SCOPED_TRACE(type);
    root->Clear();
    hole->GetDataInstance()->SetLong(MAT_TYPE, type);
    Export(hole);
    ASSERT_EQ(Children().size(), 1u);
    EXPECT_EQ(XmlText(root->FirstChild()), "<material><name>Hole_mid0</name><null_material /></material>");
  }
}

TEST_F(DispatchTest, BlendPartnersComeFirstAndOnce) {
  BaseMaterial* a = Add("A");
  BaseMaterial* b = Add("B", MAT_TYPE_PHONG);
  BaseMaterial* mix = Add("Mix", MAT_TYPE_BLEND);
  mix->GetDataInstance()->SetLink(MAT_BLEND_A, a);
  mix->GetDataInstance()->SetLink(MAT_BLEND_B, b);
  Add("Empty", MAT_TYPE_BLEND);

  // A scene pass: every material first to last with one list.
  AtomArray* done = AtomArray::Alloc();
  for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext()) Export(m, done);
  AtomArray::Free(done);
  EXPECT_EQ(Written(), (Names{"A_mid0:diffuse", "B_mid1:phong", "Mix_mid2:blend", "Empty_mid3:blend"}));
  EXPECT_EQ(Partners("Mix_mid2"), "A_mid0 B_mid1");
  EXPECT_EQ(Partners("Empty_mid3"), "nullMat nullMat");
  const TiXmlElement* blend = root->LastChild()->ToElement()->FirstChildElement("blend");
  EXPECT_STREQ(blend->FirstChildElement("step_blend")->GetText(), "false");

  // The blend first: its partners come before it, and are not written again.
  root->Clear();
  done = AtomArray::Alloc();
  Export(mix, done);
  Export(a, done);
  Export(b, done);
  AtomArray::Free(done);
  EXPECT_EQ(Written(), (Names{"A_mid0:diffuse", "B_mid1:phong", "Mix_mid2:blend"}));
}

TEST_F(DispatchTest, CyclesOfPartnersEnd) {
  BaseMaterial* self = Add("Self", MAT_TYPE_BLEND);
  self->GetDataInstance()->SetLink(MAT_BLEND_A, self);
  self->GetDataInstance()->SetLink(MAT_BLEND_B, self);
  BaseMaterial* a = Add("A", MAT_TYPE_BLEND);
  BaseMaterial* b = Add("B", MAT_TYPE_BLEND);
  a->GetDataInstance()->SetLink(MAT_BLEND_A, b);
  b->GetDataInstance()->SetLink(MAT_BLEND_B, a);
  BaseMaterial* cut = Add("Cut");
  cut->GetDataInstance()->SetBool(MAT_USE_ALPHA, true);
  cut->GetDataInstance()->SetLink(MAT_BLEND_A, a);
  b->GetDataInstance()->SetLink(MAT_BLEND_A, cut);

  // Without a list (material file, background) each material of the cycle is written once.
  Export(self);
  EXPECT_EQ(Written(), (Names{"Self_mid0:blend"}));
  EXPECT_EQ(Partners("Self_mid0"), "Self_mid0 Self_mid0");

  root->Clear();
  Export(a);
  EXPECT_EQ(Written(),
            (Names{"Cut_mid3_b_l_e_n_d_A:diffuse", "Cut_mid3:blend", "B_mid2:blend", "A_mid1:blend"}));
  EXPECT_EQ(Partners("A_mid1"), "B_mid2 nullMat");
  EXPECT_EQ(Partners("B_mid2"), "Cut_mid3 A_mid1");
  EXPECT_EQ(Partners("Cut_mid3"), "Cut_mid3_b_l_e_n_d_A A_mid1");

  // A material written under a name of its call is referred to by that name.
  root->Clear();
  Export(a, nullptr, 1, 0);
  EXPECT_EQ(Partners("B_mid2"), "Cut_mid3 previewMat");
  EXPECT_EQ(Partners("Cut_mid3"), "Cut_mid3_b_l_e_n_d_A previewMat");
  EXPECT_EQ(Partners("previewMat"), "B_mid2 nullMat");

  // A direct call of the material's own writer ends as well.
  root->Clear();
  Data(cut)->ExportMaterialXml("Cut", root, nullptr, 0, &sd);
  EXPECT_EQ(Written(), (Names{"Cut_b_l_e_n_d_A:diffuse", "B_mid2:blend", "A_mid1:blend", "Cut:blend"}));
  EXPECT_EQ(Partners("B_mid2"), "Cut A_mid1");

  // A scene pass with its list: every material once.
  root->Clear();
  AtomArray* done = AtomArray::Alloc();
  for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext()) Export(m, done);
  AtomArray::Free(done);
  EXPECT_EQ(Written().size(), 5u);
}

TEST_F(DispatchTest, HostMaterialsGoThroughATemporaryPluginMaterial) {
  BaseMaterial* first = Add("First");
  BaseMaterial* standard = BaseMaterial::Alloc(Mmaterial);
  standard->SetName("Standard");
  doc->InsertMaterial(standard, first);
  Add("Last");

  Export(standard);
  Export(standard, nullptr, 0, 1);
  sd.clayMode = 1;
  Export(standard, nullptr, 0, 1);
  // The model is the conversion's; the names are the host material's.
  Names names;
  for (const std::string& w : Written())
    if (w != "medium") names.push_back(w.substr(0, w.find(':')));
  EXPECT_EQ(names, (Names{"Standard_mid1", "background_material", "background_material"}));
  // The document holds the same materials afterwards.
  Names list;
  for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext())
    list.push_back(host::ToUtf8(m->GetName()));
  EXPECT_EQ(list, (Names{"First", "Standard", "Last"}));
}

TEST_F(DispatchTest, NameTableGivesTheUniqueNames) {
  for (const char* name : {"A", "B", "A"}) Add(name);
  BaseMaterial* zero = Add("Z");
  zero->SetName(String("Z") + String(std::string(1, '\0')) + String("tail"));
  BaseMaterial* stray = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  stray->SetName("Stray");
  BaseDocument* other = BaseDocument::Alloc();

  sd.MakeMaterialNames();
  const MaterialNameTable& table = *sd.materialNames;
  for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext())
    EXPECT_EQ(table.Name(m), Helpers::GetUniqueMaterialName(m, doc));
  EXPECT_EQ(host::ToUtf8(table.Name(doc->GetFirstMaterial()->GetNext()->GetNext())), "A_mid2");
  EXPECT_EQ(host::ToUtf8(table.Name(zero)), "Z_mid3");
  EXPECT_EQ(host::ToUtf8(sd.MaterialName(stray)), "Stray_NID");
  EXPECT_EQ(host::ToUtf8(MaterialNameTable::Name(&table, doc->GetFirstMaterial(), other)), "A_NID");
  doc->GetFirstMaterial()->SetName("Renamed");
  Export(doc->GetFirstMaterial());
  EXPECT_EQ(Written(), (Names{"A_mid0:diffuse"}));
  BaseMaterial::Free(stray);
  BaseDocument::Free(other);
}

// A partner chain longer than a call stack could follow (blend and alpha-wrapped materials, each
// naming the next, the last the first): each material is written after the partner it names.
TEST_F(DispatchTest, LongChainsOfPartnersAreWrittenInOrder) {
  constexpr int kLinks = 100000;
  std::vector<BaseMaterial*> chain(kLinks);
  for (int i = 0; i < kLinks; ++i) {
    doc->InsertMaterial(chain[i] = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL), i ? chain[i - 1] : nullptr);
    chain[i]->SetName("M");
    BaseContainer* bc = chain[i]->GetDataInstance();
    bc->SetBool(MAT_USE_ALPHA, i % 2);
    if (i % 2 == 0) bc->SetLong(MAT_TYPE, MAT_TYPE_BLEND), CustomOrvaneMaterial::SetChannels(bc);
  }
  for (int i = 0; i < kLinks; ++i) chain[i]->GetDataInstance()->SetLink(MAT_BLEND_A, chain[(i + 1) % kLinks]);
  sd.MakeMaterialNames();

  AtomArray* done = AtomArray::Alloc();
  {
    const WrittenMaterialsIndex index(done);
    for (BaseMaterial* m : chain) Export(m, done);
  }
  AtomArray::Free(done);
  // First the inner materials of the alpha-wrapped ones, then each material from the last one back.
  auto name = [](int i) { return "M_mid" + std::to_string(i % kLinks); };
  std::vector<std::string> expected, written;
  for (int i = 1; i < kLinks; i += 2) expected.push_back(name(i) + "_b_l_e_n_d_A");
  for (int i = kLinks - 1; i >= 0; --i)
    expected.push_back(name(i) + " " +
                       (i % 2 ? name(i) + "_b_l_e_n_d_A " + name(i + 1) : name(i + 1) + " nullMat"));
  for (const TiXmlElement* e : Children()) {
    const TiXmlElement* blend = e->FirstChildElement("blend");
    written.push_back(std::string(e->FirstChildElement("name")->GetText()) +
                      (blend ? std::string(" ") + blend->FirstChildElement("a_name")->GetText() + " " +
                                   blend->FirstChildElement("b_name")->GetText()
                             : ""));
  }
  EXPECT_TRUE(written == expected);
}

}  // namespace
