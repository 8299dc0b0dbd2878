// Descriptions: loading the resource files, entries and attributes, errors, and a node's own
// description.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "c4d.h"
#include "host_control.h"
#include "support/host_fixture.h"

namespace {

class DescriptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    std::filesystem::create_directories(dir / "res/description");
    host::SetPluginPath(dir.path());
  }
  void TearDown() override { host::ResetAll(); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir / ("res/description/" + name + ".res")) << text;
  }
  TempDir dir;
};

const char kGood[] = R"({"elements": [
  {"id": 100, "type": "group", "name": "Main", "elements": [
    {"id": 101, "type": "long", "name": "Mode", "cycle": [{"value": 7, "name": "Seven"}, {"value": 9, "name": "Nine"}]},
    {"id": 102, "type": "real", "name": "Scale", "min": 0, "max": 10, "step": 0.5},
    {"id": 110, "type": "group", "name": "Inner", "hide": true, "elements": [
      {"id": 111, "type": "filename", "name": "File"}]}]},
  {"id": 200, "type": "bool", "name": "Flag"},
  {"id": 201, "type": "link"}, {"id": 202, "type": "color"}, {"id": 203, "type": "string"},
  {"id": 204, "type": "vector"}, {"id": 205, "type": "button"}, {"id": 206, "type": "separator"}]})";

TEST_F(DescriptionTest, LoadsEntriesInOrderWithTheirAttributes) {
  Write("tGood", kGood);
  Description d;
  ASSERT_TRUE(d.LoadDescription(String("tGood")));
  EXPECT_EQ(d.GetName(), String("tGood"));
  const LONG ids[] = {100, 101, 102, 110, 111, 200, 201, 202, 203, 204, 205, 206};
  const LONG types[] = {DTYPE_GROUP,    DTYPE_LONG,   DTYPE_REAL,         DTYPE_GROUP,
                        DTYPE_FILENAME, DTYPE_BOOL,   DTYPE_BASELISTLINK, DTYPE_COLOR,
                        DTYPE_STRING,   DTYPE_VECTOR, DTYPE_BUTTON,       DTYPE_SEPARATOR};
  ASSERT_EQ(d.GetCount(), 12);
  for (LONG i = 0; i < 12; ++i) {
    EXPECT_EQ(d.GetIndexId(i)[0].id, ids[i]);
    EXPECT_EQ(d.GetIndexId(i)[0].dtype, types[i]);
  }
  const BaseContainer* mode = d.GetParameter(DescLevel(101));
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->GetString(DESC_NAME), String("Mode"));
  EXPECT_EQ(mode->GetLong(DESC_PARENTGROUP), 100);
  ASSERT_NE(mode->GetContainerInstance(DESC_CYCLE), nullptr);
  EXPECT_EQ(mode->GetContainerInstance(DESC_CYCLE)->GetString(9), String("Nine"));
  const BaseContainer* scale = d.GetParameter(DescLevel(102));
  EXPECT_EQ(scale->GetReal(DESC_MAX), 10.0);
  EXPECT_EQ(scale->GetReal(DESC_STEP), 0.5);
  EXPECT_EQ(d.GetParameter(DescLevel(200))->GetLong(DESC_PARENTGROUP), 0);
  EXPECT_EQ(d.GetParameter(DescLevel(999)), nullptr);
  EXPECT_EQ(d.GetParameterI(DescLevel(999), nullptr), nullptr);
  EXPECT_EQ(d.GetIndexSettings(12), nullptr);

  // Hiding: an entry's own attribute or that of a group around it.
  EXPECT_TRUE(d.IsHidden(110));
  EXPECT_TRUE(d.IsHidden(111));
  EXPECT_FALSE(d.IsHidden(101));
  d.GetParameterI(DescLevel(100), nullptr)->SetBool(DESC_HIDE, TRUE);
  EXPECT_TRUE(d.IsHidden(102));
  EXPECT_FALSE(d.IsHidden(200));
  EXPECT_FALSE(d.IsHidden(999));
}

TEST_F(DescriptionTest, BadResourcesAreRefusedWithOneLine) {
  struct Case {
    const char* text;
    const char* place;
  } cases[] = {
      {R"({"elements": [{"id": 1, "type": "long", "nmae": "x"}]})", "/elements/0/nmae: unknown field"},
      {R"({"elements": [{"id": 1, "type": "bool"}, {"id": 1, "type": "real"}]})",
       "/elements/1/id: ID 1 is given twice"},
      {R"({"elements": [{"id": 1, "type": "slider"}]})", "/elements/0/type: unknown type"},
      {R"({"elements": [{"id": 1, "type": "real", "cycle": []}]})",
       "/elements/0/cycle: only a long has a cycle"},
      {R"({"elements": [{"id": 1, "type": "long", "cycle": [{"value": 2}]}]})", "/elements/0/cycle/0"},
      {R"({"elements": [{"id": 1, "type": "bool", "elements": []}]})", "only a group has elements"},
      {R"({"elements": [{"type": "bool"}]})", "an element needs an id"},
      {R"({"elements": [{"id": 5000000000, "type": "bool"}]})", "out of the 32-bit range"},
      {R"({"elements": [}})", "parse error"},
      {R"({"layout": []})", "/layout: unknown field"},
      {R"({"elements": [{"id": 1, "type": "group", "gui": "G"}]})",
       "/elements/0/gui: a group has no value to show in an element"},
      {R"({"elements": [{"id": 1, "type": "button", "gui": "G"}]})",
       "/elements/0/gui: a button has no value to show in an element"},
      {R"({"elements": [{"id": 1, "type": "link", "gui": 7}]})", "/elements/0/gui: expected a string"},
      {R"({"elements": [{"id": 1, "type": "link", "gui": ""}]})",
       "/elements/0/gui: expected the symbol of an interface element"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    host::ClearConsole();
    Write("tBad", c.text);
    Description d;
    EXPECT_FALSE(d.LoadDescription(String("tBad")));
    EXPECT_EQ(d.GetCount(), 0);
    std::vector<std::string> lines = host::ConsoleLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Bad description resource ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.place), std::string::npos) << lines[0];
  }
  // A missing file, or a name that would leave the folder, is refused silently.
  host::ClearConsole();
  Description d;
  EXPECT_FALSE(d.LoadDescription(String("tMissing")));
  EXPECT_FALSE(d.LoadDescription(String("../res/description/tBad")));
  EXPECT_FALSE(d.LoadDescription(String("")));
  EXPECT_TRUE(host::ConsoleLines().empty());
}

TEST_F(DescriptionTest, FailedLoadKeepsThePreviousDescription) {
  Write("tGood", kGood);
  Write("tBad", "[]");
  Description d;
  ASSERT_TRUE(d.LoadDescription(String("tGood")));
  EXPECT_FALSE(d.LoadDescription(String("tBad")));
  EXPECT_EQ(d.GetCount(), 12);
  EXPECT_EQ(d.GetName(), String("tGood"));
}

// A tag whose description hides entry 200 when its parameter 1 is set.
class HidingTag : public TagData {
 public:
  static NodeData* Alloc() { return new HidingTag; }
  Bool GetDDescription(GeListNode* node, Description* d, LONG& flags) override {
    if (!d->LoadDescription(static_cast<BaseList2D*>(node)->GetType())) return FALSE;
    if (static_cast<BaseList2D*>(node)->GetDataInstance()->GetBool(1))
      d->GetParameterI(DescLevel(200), nullptr)->SetBool(DESC_HIDE, TRUE);
    flags |= DESCFLAGS_DESC_LOADED;
    return TRUE;
  }
};

TEST_F(DescriptionTest, NodesFindTheirDescriptionThroughTheRegistry) {
  Write("tGood", kGood);
  ASSERT_TRUE(RegisterTagPlugin(1000001, "Hiding", 0, HidingTag::Alloc, "tGood", nullptr, 0));
  DataAllocator* plainAlloc = []() -> NodeData* { return new TagData; };
  ASSERT_TRUE(RegisterTagPlugin(1000002, "Plain", 0, plainAlloc, "tGood", nullptr, 0));
  Description byId;
  EXPECT_TRUE(byId.LoadDescription(1000001));
  EXPECT_FALSE(byId.LoadDescription(4242));  // not registered

  BaseTag* hiding = BaseTag::Alloc(1000001);
  BaseTag* plain = BaseTag::Alloc(1000002);
  hiding->GetDataInstance()->SetBool(1, TRUE);
  Description a, b;
  EXPECT_TRUE(hiding->GetDescription(&a));
  EXPECT_TRUE(a.IsHidden(200));
  // The plug-in without a description callback of its own gets the resource as it is.
  EXPECT_TRUE(plain->GetDescription(&b));
  EXPECT_FALSE(b.IsHidden(200));
  EXPECT_EQ(b.GetCount(), 12);
  BaseTag::Free(hiding);
  BaseTag::Free(plain);
}

}  // namespace
