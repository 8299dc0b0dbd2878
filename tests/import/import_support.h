// A host with the plug-in material and the code shader registered, an empty document and a
// temporary folder, for the material import's tests.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "c4d.h"
#include "command/importovm.h"
#include "host_control.h"
#include "host_user.h"
#include "material/customorvanematerial.h"
#include "shader/ovlshader.h"
#include "support/host_fixture.h"

class ImportTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCustomOrvaneMaterial());
    ASSERT_TRUE(RegisterOVL());
    doc = BaseDocument::Alloc();
    host::SetActiveDocument(doc);
  }
  void TearDown() override {
    host::SetActiveDocument(nullptr);
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }

  /// Writes `text` to the file `name` in the temporary folder and answers its path.
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  /// Writes a ".ovm" whose "scenedata" holds `body` and imports it.
  void ImportBody(const std::string& body, const std::string& name = "m.ovm") {
    import.ImportFile(doc, Filename(String(Write(name, "<scenedata>" + body + "</scenedata>"))));
  }
  /// The document's materials in list order.
  std::vector<BaseMaterial*> Materials() const {
    std::vector<BaseMaterial*> out;
    for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext()) out.push_back(m);
    return out;
  }
  /// The names of the document's materials in list order, joined by ",".
  std::string Names() const {
    std::string out;
    for (BaseMaterial* m : Materials()) out += (out.empty() ? "" : ",") + host::ToUtf8(m->GetName());
    return out;
  }
  /// The texts of the message dialogs shown so far.
  static std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const host::Shown& s : host::user::History())
      if (s.prompt == host::Prompt::Message) out.push_back(s.text);
    return out;
  }
  /// The container of the material named `name` (fails the test when there is none).
  BaseContainer* Data(const std::string& name) {
    BaseMaterial* m = doc->SearchMaterial(String(name));
    EXPECT_NE(m, nullptr) << name;
    return m ? m->GetDataInstance() : &empty_;
  }

  /// The value a new plug-in material holds at `id` (what its Init writes).
  static GeData Fresh(LONG id) {
    BaseMaterial* m = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
    GeData out = m ? m->GetDataInstance()->GetData(id) : GeData();
    BaseMaterial::Free(m);
    return out;
  }

  BaseDocument* doc = nullptr;
  TempDir dir;
  ImportOVM import;

 private:
  BaseContainer empty_;
};

/// One material element: "<material><name>NAME</name>BODY</material>".
inline std::string Mat(const std::string& name, const std::string& body) {
  return "<material><name>" + name + "</name>" + body + "</material>";
}

/// Expects `got` to equal `want` per component (to the last bits of a double).
inline void ExpectVector(const LVector& got, const LVector& want, const std::string& what) {
  EXPECT_DOUBLE_EQ(got.x, want.x) << what;
  EXPECT_DOUBLE_EQ(got.y, want.y) << what;
  EXPECT_DOUBLE_EQ(got.z, want.z) << what;
}
