// The node-based material: a container's node tree written as one material, and its tree
// operations.
#include <gtest/gtest.h>

#include <functional>

#include "host_control.h"
#include "host_undo.h"
#include "material/advancedorvanematerial.h"
#include "material/material_test_support.h"
#include "material/orvanecontainermaterial.h"
#include "shader/ovlshader.h"

namespace {

class NodeMaterialTest : public MaterialTest {
 protected:
  void SetUp() override {
    MaterialTest::SetUp();
    ASSERT_TRUE(RegisterAdvancedOrvaneMaterial());
    ASSERT_TRUE(RegisterOrvaneContainerMaterial());
  }

  /// A new container material `name` in the document.
  BaseMaterial* AddContainer(const char* name) {
    BaseMaterial* mat = BaseMaterial::Alloc(ID_ORVANECONTAINERMATERIAL);
    mat->SetName(name);
    BaseMaterial* last = doc->GetFirstMaterial();
    while (last && last->GetNext()) last = last->GetNext();
    doc->InsertMaterial(mat, last);
    return mat;
  }
  static BaseShader* Root(BaseMaterial* c) {
    return static_cast<BaseShader*>(
        c->GetDataInstance()->GetLink(MAT_CONTAINER_ROOT, c->GetDocument(), Xbase));
  }
  static AdvancedOrvaneMaterial* Node(BaseShader* s) {
    return static_cast<AdvancedOrvaneMaterial*>(s->GetNodeData());
  }
  static void SetType(BaseShader* s, LONG type) {
    s->GetDataInstance()->SetLong(MAT_TYPE + NODE_ID_OFFSET, type + NODE_ID_OFFSET);
    AdvancedOrvaneMaterial::SetChannels(s->GetDataInstance());
  }
  /// A new child of the blend node `parent` named `name` (a diffuse leaf).
  static BaseShader* AddChild(BaseShader* parent, const char* name) {
    BaseShader* child = BaseShader::Alloc(ID_ADVANCEDORVANEMATERIAL);
    child->SetName(name);
    BaseContainer* data = parent->GetDataInstance();
    data->SetLink(data->GetLink(NODE_BLEND_A, parent->GetDocument()) ? NODE_BLEND_B : NODE_BLEND_A, child);
    child->InsertUnderLast(parent);
    return child;
  }
  void Export(BaseMaterial* mat) { ExportBaseMaterial(mat, root, nullptr, &sd, 0, 0); }
};

TEST_F(NodeMaterialTest, TreesAreWrittenDepthFirst) {
  struct Row {
    const char* what;
    std::function<void(BaseShader* root)> build;
    bool clay;
    std::vector<std::string> written;
    std::vector<std::string> partners;  // "name: a b"
  };
  const std::vector<Row> rows = {
      {"new container: one diffuse material",
       [](BaseShader*) {},
       false,
       {"C_mid0:diffuse"},
       {"C_mid0: (none)"}},
      {"two levels",
       [](BaseShader* r) {
         SetType(r, MAT_TYPE_BLEND);
         BaseShader* a = AddChild(r, "A");
         SetType(a, MAT_TYPE_BLEND);
         AddChild(a, "C");
         AddChild(a, "D");
         AddChild(r, "B");
       },
       false,
       {"C_2:diffuse", "D_3:diffuse", "A_1:blend", "B_4:diffuse", "C_mid0:blend"},
       {"A_1: C_2 D_3", "C_mid0: A_1 B_4"}},
      {"blend without children",
       [](BaseShader* r) { SetType(r, MAT_TYPE_BLEND); },
       false,
       {"C_mid0:blend"},
       {"C_mid0: nullMat nullMat"}},
      {"clay: leaves and null nodes become clay, blends stay",
       [](BaseShader* r) {
         SetType(r, MAT_TYPE_BLEND);
         BaseShader* a = AddChild(r, "A");
         SetType(a, MAT_TYPE_BLEND);
         SetType(AddChild(a, "P"), MAT_TYPE_PHONG);
         SetType(AddChild(a, "N"), MAT_TYPE_NULL);
         SetType(AddChild(r, "M"), MAT_TYPE_NULL);
       },
       true,
       {"P_2:oren_nayar", "N_3:oren_nayar", "A_1:blend", "M_4:oren_nayar", "C_mid0:blend"},
       {"A_1: P_2 N_3", "C_mid0: A_1 M_4"}},
      {"clay: a null root becomes clay",
       [](BaseShader* r) { SetType(r, MAT_TYPE_NULL); },
       true,
       {"C_mid0:oren_nayar"},
       {"C_mid0: (none)"}},
      {"null child is named and defined",
       [](BaseShader* r) {
         SetType(r, MAT_TYPE_BLEND);
         AddChild(r, "X");
         SetType(AddChild(r, "N"), MAT_TYPE_NULL);
       },
       false,
       {"X_1:diffuse", "N_2:null_material", "C_mid0:blend"},
       {"C_mid0: X_1 N_2"}},
      {"null root",
       [](BaseShader* r) { SetType(r, MAT_TYPE_NULL); },
       false,
       {"C_mid0:null_material"},
       {"C_mid0: (none)"}},
      {"cycle back to the root and to itself: the ancestor is named",
       [](BaseShader* r) {
         SetType(r, MAT_TYPE_BLEND);
         BaseShader* a = AddChild(r, "A");
         SetType(a, MAT_TYPE_BLEND);
         a->GetDataInstance()->SetLink(NODE_BLEND_A, r);
         a->GetDataInstance()->SetLink(NODE_BLEND_B, a);
       },
       false,
       {"A_1:blend", "C_mid0:blend"},
       {"C_mid0: A_1 nullMat", "A_1: C_mid0 A_1"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    root->Clear();
    BaseMaterial* c = AddContainer("C");
    ASSERT_NE(Root(c), nullptr);
    EXPECT_EQ(Root(c)->GetUp(), c);
    row.build(Root(c));
    sd.clayMode = row.clay;
    Export(c);
    EXPECT_EQ(Written(), row.written);
    std::vector<std::string> partners;
    for (const std::string& p : row.partners) {
      const std::string name = p.substr(0, p.find(':'));
      partners.push_back(name + ": " + Partners(name));
    }
    EXPECT_EQ(partners, row.partners);
    c->Remove();
    BaseMaterial::Free(c);
  }
}

TEST_F(NodeMaterialTest, SharedNamesAcrossContainersArePrefixed) {
  BaseMaterial* c1 = AddContainer("C");
  BaseMaterial* c2 = AddContainer("D");
  for (BaseMaterial* c : {c1, c2}) {
    SetType(Root(c), MAT_TYPE_BLEND);
    AddChild(Root(c), "A");
  }
  Export(c1);
  Export(c2);
  EXPECT_EQ(Written(),
            (std::vector<std::string>{"A_1:diffuse", "C_mid0:blend", "D_mid1_A_1:diffuse", "D_mid1:blend"}));
  EXPECT_EQ(Partners("D_mid1"), "D_mid1_A_1 nullMat");
}

TEST_F(NodeMaterialTest, NodeWritersReadRaisedIds) {
  BaseMaterial* c = AddContainer("C");
  BaseShader* r = Root(c);
  SetType(r, MAT_TYPE_SPECULAR);
  BaseContainer* data = r->GetDataInstance();
  EXPECT_EQ(data->GetData(MAT_SELECTOR + NODE_ID_OFFSET).GetType(), DA_NIL);
  data->SetLong(MAT_MEDIUM_TYPE + NODE_ID_OFFSET, MAT_MEDIUM_ATMOSPHERE + NODE_ID_OFFSET);
  Export(c);
  ASSERT_EQ(Written(), (std::vector<std::string>{"medium", "C_mid0:specular"}));
  // No atmosphere medium: only the name and the precedence.
  EXPECT_EQ(XmlText(Children()[0]), "<medium><name>MedC_mid0</name><precedence>10</precedence></medium>");
}

TEST_F(NodeMaterialTest, TreeOperations) {
  BaseMaterial* c = AddContainer("C");
  BaseShader* r = Root(c);
  SetType(r, MAT_TYPE_BLEND);
  host::SetActiveDocument(doc);
  Node(r)->AddBlendMaterial();
  Node(r)->AddBlendMaterial();
  Node(r)->AddBlendMaterial();  // both set: nothing
  BaseShader* a = Node(r)->GetFirstBlendChild();
  ASSERT_NE(a, nullptr);
  BaseShader* b = Node(a)->GetSiblingBlend();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetUp(), r);
  EXPECT_EQ(Node(b)->GetSiblingBlend(), nullptr);
  EXPECT_EQ(host::UndoSteps(doc).size(), 2u);
  EXPECT_TRUE(doc->DoUndo());
  EXPECT_EQ(Node(a)->GetSiblingBlend(), nullptr);
  EXPECT_EQ(r->GetDataInstance()->GetLink(NODE_BLEND_B, doc), nullptr);
}

TEST_F(NodeMaterialTest, LinkedShadersGreyOutWhatTheyOverrideOnTheNodePage) {
  ASSERT_TRUE(RegisterOVL());
  BaseMaterial* c = AddContainer("C");
  BaseShader* node = Root(c);
  BaseShader* const linked[] = {nullptr, BaseShader::Alloc(Xcolor), BaseShader::Alloc(ID_OVLSHADER)};
  for (BaseShader* s : {linked[1], linked[2]}) s->InsertUnderLast(node);
  const struct {
    std::vector<LONG> ids;
    bool enabled[3];
  } kTable[] = {
      {{MAT_ALBEDO_COLOR, MAT_ALBEDO_GAMMA, MAT_EXPONENT, MAT_ALPHA_VALUE, MAT_ABSORPTION_LAYER_COLOR},
       {true, false, false}},
      {{MAT_STEP_BLEND}, {false, true, true}},
      {{MAT_ALBEDO_TEX_A, MAT_ALPHA_TEX_B, MAT_EMISSION_TEX_A, MAT_BUMP_TEX_C}, {false, true, false}},
      {{MAT_TYPE, MAT_EMISSION_COLOR}, {true, true, true}},  // left to the host
  };
  for (int state = 0; state < 3; ++state) {
    for (LONG link :
         {MAT_ALBEDO_SHADER, MAT_EXPONENT_SHADER, MAT_SIGMA_SHADER, MAT_ALPHA_SHADER,
          MAT_ABSORPTION_LAYER_SHADER, MAT_EMISSION_SHADER, MAT_BUMP_SHADER, MAT_DISPLACEMENT_SHADER})
      node->GetDataInstance()->SetLink(link + NODE_ID_OFFSET, linked[state]);
    for (const auto& row : kTable)
      for (LONG id : row.ids)
        EXPECT_EQ(!!Node(node)->GetDEnabling(node, DescLevel(id + NODE_ID_OFFSET), GeData(), 0, nullptr),
                  row.enabled[state])
            << "state " << state << ", parameter " << id;
  }
  EXPECT_FALSE(Node(node)->GetDEnabling(nullptr, DescLevel(MAT_TYPE + NODE_ID_OFFSET), GeData(), 0, nullptr));
}

}  // namespace
