// Registration of plug-ins and the life of plug-in nodes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "c4d.h"
#include "host_control.h"

namespace {

constexpr LONG kTagId = 1030001;
constexpr LONG kRefusingTagId = 1030002;
constexpr LONG kObjectId = 1030003;
constexpr LONG kCommandId = 1030004;
constexpr LONG kVideoPostId = 1030005;
constexpr LONG kParamOwn = 10;      // stored by the plug-in itself
constexpr LONG kParamDefault = 11;  // left to the host

// What the test plug-ins saw, in order.
std::vector<std::string> g_events;

std::string NameOf(const BaseList2D* node) { return node ? host::ToUtf8(node->GetName()) : std::string("-"); }

class TestTag : public TagData {
 public:
  static NodeData* Alloc() { return new TestTag; }
  Bool Init(GeListNode* node) override {
    static_cast<BaseTag*>(node)->GetDataInstance()->SetLong(1, 42);
    g_events.push_back("tag init");
    return true;
  }
  void Free(GeListNode* node) override {
    auto* tag = static_cast<BaseTag*>(node);
    g_events.push_back("tag free on " + NameOf(tag->GetObject()) +
                       (tag->GetDocument() ? " in doc" : " outside"));
  }
  Bool GetDParameter(GeListNode*, const DescID& id, GeData& value, LONG& flags) override {
    if (id[0].id != kParamOwn) return false;
    value = GeData(own_);
    flags |= DESCFLAGS_GET_PARAM_GET;
    return true;
  }
  Bool SetDParameter(GeListNode*, const DescID& id, const GeData& value, LONG& flags) override {
    if (id[0].id != kParamOwn) return false;
    own_ = value.GetLong();
    flags |= DESCFLAGS_SET_PARAM_SET;
    return true;
  }

 private:
  LONG own_ = 0;
};

// Refuses every new node; holds memory so that a leak would show.
class RefusingTag : public TagData {
 public:
  static NodeData* Alloc() { return new RefusingTag; }
  Bool Init(GeListNode*) override { return false; }
  void Free(GeListNode*) override { g_events.push_back("refusing free"); }

 private:
  std::vector<int> ballast_ = std::vector<int>(64);
};

class TestObject : public ObjectData {
 public:
  static NodeData* Alloc() { return new TestObject; }
  void Free(GeListNode* node) override {
    auto* op = static_cast<BaseObject*>(node);
    g_events.push_back("object free " + NameOf(op) + " under " + NameOf(op->GetUp()) +
                       (op->GetDocument() ? " in doc" : " outside") +
                       (op->GetFirstTag() ? " with tags" : ""));
  }
};

class TestVideoPost : public VideoPostData {
 public:
  static NodeData* Alloc() { return new TestVideoPost; }
  void Free(GeListNode* node) override {
    g_events.push_back(std::string("video post free") + (node->GetDocument() ? " in doc" : " outside"));
  }
};

int g_commandsAlive = 0;
int g_commandRuns = 0;

class TestCommand : public CommandData {
 public:
  TestCommand() { ++g_commandsAlive; }
  ~TestCommand() override { --g_commandsAlive; }
  Bool Execute(BaseDocument*) override {
    ++g_commandRuns;
    return true;
  }
};

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetAll();
    g_events.clear();
    g_commandsAlive = g_commandRuns = 0;
  }
  void TearDown() override { host::ResetAll(); }
  static void RegisterAll() {
    ASSERT_TRUE(RegisterTagPlugin(kTagId, String("Test tag"), TAG_VISIBLE, TestTag::Alloc, String("Ttest"),
                                  nullptr, 0));
    ASSERT_TRUE(
        RegisterTagPlugin(kRefusingTagId, String("Refusing"), 0, RefusingTag::Alloc, String(), nullptr, 0));
    ASSERT_TRUE(RegisterObjectPlugin(kObjectId, String("Test object"), OBJECT_GENERATOR, TestObject::Alloc,
                                     String("Otest"), nullptr, 0));
    ASSERT_TRUE(RegisterVideoPostPlugin(kVideoPostId, String("Test post"), 0, TestVideoPost::Alloc,
                                        String("VPtest"), 0, 5));
  }
};

TEST_F(RegistryTest, AllocRunsInitAndRefusalGivesNull) {
  EXPECT_EQ(BaseTag::Alloc(kTagId), nullptr);  // not registered yet
  RegisterAll();
  BaseTag* tag = BaseTag::Alloc(kTagId);
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->GetType(), kTagId);
  EXPECT_TRUE(tag->IsInstanceOf(Tbase));
  EXPECT_NE(dynamic_cast<TestTag*>(tag->GetNodeData()), nullptr);
  EXPECT_EQ(tag->GetDataInstance()->GetLong(1), 42);
  EXPECT_EQ(g_events, std::vector<std::string>{"tag init"});

  // A refusing Init: no node, the plug-in data is gone too (and never saw Free).
  EXPECT_EQ(BaseTag::Alloc(kRefusingTagId), nullptr);
  EXPECT_EQ(g_events.size(), 1u);

  // Registered kinds are separate: a tag ID is no object type.
  EXPECT_EQ(BaseObject::Alloc(kTagId), nullptr);
  BaseTag::Free(tag);
  EXPECT_EQ(g_events.back(), "tag free on - outside");
}

TEST_F(RegistryTest, FreeRunsWhileTheNodeIsStillAttached) {
  RegisterAll();
  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* parent = BaseObject::Alloc(kObjectId);
  BaseObject* child = BaseObject::Alloc(kObjectId);
  ASSERT_NE(parent, nullptr);
  ASSERT_NE(child, nullptr);
  parent->SetName(String("parent"));
  child->SetName(String("child"));
  doc->InsertObject(parent, nullptr, nullptr);
  child->InsertUnder(parent);
  child->MakeTag(kTagId);
  BaseVideoPost* vp = BaseVideoPost::Alloc(kVideoPostId);
  ASSERT_NE(vp, nullptr);
  doc->GetFirstRenderData()->InsertVideoPost(vp);
  EXPECT_EQ(vp->GetDocument(), doc);
  EXPECT_TRUE(vp->IsInstanceOf(VPbase));

  // A single tag freed on its own still reaches its object.
  BaseTag* lone = parent->MakeTag(kTagId);
  g_events.clear();
  BaseTag::Free(lone);
  EXPECT_EQ(g_events, std::vector<std::string>{"tag free on parent in doc"});
  EXPECT_EQ(parent->GetFirstTag(), nullptr);

  g_events.clear();
  BaseDocument::Free(doc);
  EXPECT_EQ(g_events, (std::vector<std::string>{
                          "object free parent under - in doc",
                          "object free child under parent in doc with tags",
                          "tag free on child in doc",
                          "video post free in doc",
                      }));
}

TEST_F(RegistryTest, ParametersGoThroughThePlugin) {
  RegisterAll();
  BaseTag* tag = BaseTag::Alloc(kTagId);
  ASSERT_NE(tag, nullptr);
  GeData value;
  EXPECT_TRUE(tag->SetParameter(DescID(DescLevel(kParamOwn)), GeData(LONG(7))));
  EXPECT_EQ(tag->GetDataInstance()->GetDataPointer(kParamOwn), nullptr);  // kept by the plug-in
  EXPECT_TRUE(tag->GetParameter(DescID(DescLevel(kParamOwn)), value));
  EXPECT_EQ(value.GetLong(), 7);

  // The plug-in declines: the host stores and reads the container.
  EXPECT_TRUE(tag->SetParameter(DescID(DescLevel(kParamDefault)), GeData(LONG(9))));
  EXPECT_EQ(tag->GetDataInstance()->GetLong(kParamDefault), 9);
  EXPECT_TRUE(tag->GetParameter(DescID(DescLevel(kParamDefault)), value));
  EXPECT_EQ(value.GetLong(), 9);
  EXPECT_FALSE(tag->GetParameter(DescID(DescLevel(12)), value));
  BaseTag::Free(tag);
}

TEST_F(RegistryTest, RegistrationsAreRecordedInOrder) {
  host::SetPluginPath("/plugins/test");
  AutoBitmap icon(String("icon.tif"));
  host::RefuseRegistration(kObjectId);
  EXPECT_TRUE(RegisterCommandPlugin(kCommandId, String("Run \xC3\xA9"), PLUGINFLAG_HIDEPLUGINMENU, icon,
                                    String("Runs it"), new TestCommand));
  EXPECT_FALSE(RegisterObjectPlugin(kObjectId, String("Refused"), 0, TestObject::Alloc, String("Orefused"),
                                    nullptr, 3));
  EXPECT_TRUE(RegisterTagPlugin(kTagId, String("Tag"), TAG_VISIBLE, TestTag::Alloc, String("Ttag"), icon, 2));
  EXPECT_FALSE(RegisterTagPlugin(kTagId, String("Again"), 0, TestTag::Alloc, String(), nullptr, 0));
  EXPECT_TRUE(
      RegisterVideoPostPlugin(kVideoPostId, String("Post"), 0, TestVideoPost::Alloc, String("VPpost"), 1, 7));

  const std::vector<host::Registration> regs = host::Registrations();
  ASSERT_EQ(regs.size(), 5u);
  EXPECT_EQ(regs[0].kind, host::PluginKind::Command);
  EXPECT_EQ(regs[0].id, kCommandId);
  EXPECT_EQ(regs[0].name, "Run \xC3\xA9");
  EXPECT_EQ(regs[0].info, PLUGINFLAG_HIDEPLUGINMENU);
  EXPECT_EQ(regs[0].icon, "icon.tif");
  EXPECT_EQ(regs[0].help, "Runs it");
  EXPECT_TRUE(regs[0].accepted);
  EXPECT_EQ(regs[1].kind, host::PluginKind::Object);
  EXPECT_EQ(regs[1].description, "Orefused");
  EXPECT_EQ(regs[1].disklevel, 3);
  EXPECT_FALSE(regs[1].accepted);
  EXPECT_EQ(regs[2].kind, host::PluginKind::Tag);
  EXPECT_EQ(regs[2].info, TAG_VISIBLE);
  EXPECT_EQ(regs[2].icon, "icon.tif");
  EXPECT_TRUE(regs[2].accepted);
  EXPECT_EQ(regs[3].name, "Again");
  EXPECT_FALSE(regs[3].accepted);  // a tag type is registered once
  EXPECT_EQ(regs[4].kind, host::PluginKind::VideoPost);
  EXPECT_EQ(regs[4].priority, 7);
  EXPECT_STREQ(host::KindName(regs[4].kind), "videopost");

  EXPECT_EQ(BaseObject::Alloc(kObjectId), nullptr);  // refused types cannot be made
  BaseTag* tag = BaseTag::Alloc(kTagId);
  ASSERT_NE(tag, nullptr);
  BaseTag::Free(tag);
}

TEST_F(RegistryTest, ResetRegistryDeletesCommands) {
  host::RefuseRegistration(kCommandId + 1);
  EXPECT_TRUE(RegisterCommandPlugin(kCommandId, String("Run"), 0, nullptr, String(), new TestCommand));
  EXPECT_FALSE(RegisterCommandPlugin(kCommandId + 1, String("No"), 0, nullptr, String(), new TestCommand));
  EXPECT_EQ(g_commandsAlive, 2);  // the host keeps a refused command too
  EXPECT_EQ(host::FindCommand(kCommandId + 1), nullptr);
  ASSERT_NE(host::FindCommand(kCommandId), nullptr);
  EXPECT_TRUE(CallCommand(kCommandId));
  EXPECT_EQ(g_commandRuns, 1);

  host::ResetRegistry();
  EXPECT_EQ(g_commandsAlive, 0);
  EXPECT_TRUE(host::Registrations().empty());
  EXPECT_FALSE(CallCommand(kCommandId));
  EXPECT_EQ(g_commandRuns, 1);
  // Refusals are forgotten as well.
  EXPECT_TRUE(RegisterCommandPlugin(kCommandId + 1, String("Yes"), 0, nullptr, String(), new TestCommand));
}

}  // namespace
