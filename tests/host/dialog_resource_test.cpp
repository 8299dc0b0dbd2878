// Dialog resources: "res/dialogs/<id>.json" files that lay out a dialog's gadgets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "c4d.h"
#include "host_control.h"
#include "support/host_fixture.h"

namespace {

class DialogResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    std::filesystem::create_directories(dir / "res/dialogs");
    host::SetPluginPath(dir.path());
  }
  void TearDown() override { host::ResetAll(); }
  void Write(LONG id, const std::string& text) {
    std::ofstream(dir / ("res/dialogs/" + std::to_string(id) + ".json")) << text;
  }
  TempDir dir;
};

TEST_F(DialogResourceTest, LaysOutEveryGadgetKindAndRefusesBrokenOnes) {
  Write(7, R"({"gadgets": [
    {"id": 10, "kind": "text", "text": "Hello"},
    {"id": 11, "kind": "button", "text": "Go"},
    {"id": 12, "kind": "checkbox", "text": "Sharp"},
    {"id": 13, "kind": "number"},
    {"id": 14, "kind": "edit"},
    {"id": 15, "kind": "combobox", "entries": [[1, "One"], [2, "Two"]]}]})");
  GeDialog laidOut;
  ASSERT_TRUE(laidOut.LoadDialogResource(7));
  String text;
  ASSERT_TRUE(laidOut.GetString(10, text));
  EXPECT_EQ(text, String("Hello"));
  for (LONG id : {11, 12, 13, 14, 15}) EXPECT_TRUE(laidOut.GetString(id, text)) << id;
  EXPECT_FALSE(laidOut.GetString(16, text));

  const char* cases[] = {
      R"({"gadgets": [}})",                                                        // not JSON
      R"([])",                                                                     // no object
      R"({"layout": []})",                                                         // no gadgets
      R"({"gadgets": {}})",                                                        // not an array
      R"({"gadgets": [[1, 2]]})",                                                  // a gadget is no object
      R"({"gadgets": [{"kind": "text"}]})",                                        // no id
      R"({"gadgets": [{"id": 5000000000, "kind": "text"}]})",                      // id beyond 32 bits
      R"({"gadgets": [{"id": 1, "kind": 3}]})",                                    // kind not a string
      R"({"gadgets": [{"id": 1, "kind": "text", "text": false}]})",                // text not a string
      R"({"gadgets": [{"id": 1, "kind": "slider"}]})",                             // unknown kind
      R"({"gadgets": [{"id": 1, "kind": "combobox", "entries": {}}]})",            // entries no array
      R"({"gadgets": [{"id": 1, "kind": "combobox", "entries": [[1, 2]]}]})",      // entry name no string
      R"({"gadgets": [{"id": 1, "kind": "combobox", "entries": [["a", "b"]]}]})",  // entry value no integer
  };
  for (const char* c : cases) {
    SCOPED_TRACE(c);
    Write(8, c);
    GeDialog dlg;
    EXPECT_FALSE(dlg.LoadDialogResource(8));
  }
  GeDialog dlg;
  EXPECT_FALSE(dlg.LoadDialogResource(9));  // no file
}

}  // namespace
