#include "tag/mylighttag.h"

#include <tinyxml.h>

#include <algorithm>
#include <iterator>

#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "main/lightlayers.h"
#include "main/orvanelaunch.h"
#include "tag/mylighttagids.h"

namespace {

// Network port of the preview render.
constexpr int kPreviewPort = 7777;

Filename PreviewFolder() { return GeGetPluginPath() + Filename("preview"); }
Filename PreviewScene() { return PreviewFolder() + Filename("iespreview.ovs"); }

}  // namespace

Bool MyLightTag::Init(GeListNode* node) {
  BaseContainer* bc = static_cast<BaseTag*>(node)->GetDataInstance();
  bc->SetLong(LIGHTTAG_EMISSION_TYPE, LIGHTTAG_EMISSION_RGB);
  bc->SetVector(LIGHTTAG_RGB_COLOR, LVector(1.0, 1.0, 1.0));
  bc->SetReal(LIGHTTAG_RGB_GAMMA, 2.2);
  bc->SetReal(LIGHTTAG_UNIFORM_VALUE, 1.0);
  bc->SetReal(LIGHTTAG_BLACKBODY_TEMPERATURE, 6500.0);
  bc->SetReal(LIGHTTAG_BLACKBODY_GAIN, 1.0);
  bc->SetReal(LIGHTTAG_PEAK, 300.0);
  bc->SetReal(LIGHTTAG_PEAK_WIDTH, 550.0);
  bc->SetReal(LIGHTTAG_PEAK_VALUE, 200.0);
  bc->SetReal(LIGHTTAG_PEAK_BASE, 0.0);
  bc->SetLong(LIGHTTAG_SCALE_MEASURE, LIGHTTAG_MEASURE_LUMINANCE);
  bc->SetReal(LIGHTTAG_SCALE_VALUE, 100.0);
  bc->SetBool(LIGHTTAG_IES, false);
  bc->SetBool(LIGHTTAG_EMISSION_SCALE, false);
  bc->SetLong(LIGHTTAG_LAYER, 0);
  return true;
}

Bool MyLightTag::GetDDescription(GeListNode* node, Description* description, LONG& flags) {
  if (!node || !description || !description->LoadDescription(ID_MYLIGHTTAG)) return false;
  BaseContainer* data = static_cast<BaseTag*>(node)->GetDataInstance();
  if (!Helpers::AddLightLayerContainer(description, data, LIGHTTAG_LAYER, node->GetDocument())) return false;

  // The settings group of the chosen spectrum; an unknown type leaves the groups as they are.
  struct Group {
    LONG type, group;
  };
  const Group groups[] = {{LIGHTTAG_EMISSION_PEAK, LIGHTTAG_GROUP_PEAK},
                          {LIGHTTAG_EMISSION_RGB, LIGHTTAG_GROUP_RGB},
                          {LIGHTTAG_EMISSION_BLACKBODY, LIGHTTAG_GROUP_BLACKBODY},
                          {LIGHTTAG_EMISSION_UNIFORM, LIGHTTAG_GROUP_UNIFORM}};
  const LONG type = data->GetLong(LIGHTTAG_EMISSION_TYPE, 0);
  if (std::any_of(std::begin(groups), std::end(groups), [type](const Group& g) { return g.type == type; }))
    for (const Group& g : groups) Helpers::HideDescriptionEntry(description, g.group, g.type != type);

  Helpers::HideDescriptionEntry(description, LIGHTTAG_IES_FILE, data->GetLong(LIGHTTAG_IES) != 1);
  const Bool scaled = data->GetLong(LIGHTTAG_EMISSION_SCALE) == 1;
  Helpers::HideDescriptionEntry(description, LIGHTTAG_SCALE_MEASURE, !scaled);
  Helpers::HideDescriptionEntry(description, LIGHTTAG_SCALE_VALUE, !scaled);
  Helpers::HideDescriptionEntry(description, LIGHTTAG_IES_PREVIEW, true);
  flags |= DESCFLAGS_DESC_LOADED;
  return true;
}

LONG MyLightTag::Execute(BaseTag*, BaseDocument*, BaseObject*, BaseThread*, LONG, LONG) {
  return EXECUTIONRESULT_OK;
}

Bool MyLightTag::GetDParameter(GeListNode* node, const DescID& id, GeData& value, LONG& flags) {
  if (id[0].id == LIGHTTAG_IES_PREVIEW_BITMAP) {
    BitmapButtonStruct button(static_cast<BaseList2D*>(node), id, 0);
    value = GeData(CUSTOMDATATYPE_BITMAPBUTTON, button);
    flags |= DESCFLAGS_GET_PARAM_GET;
  }
  return true;
}

Bool MyLightTag::SetDParameter(GeListNode*, const DescID& id, const GeData&, LONG& flags) {
  if (id[0].id == LIGHTTAG_IES_PREVIEW_BITMAP) flags |= DESCFLAGS_SET_PARAM_SET;
  return true;
}

Bool MyLightTag::Message(GeListNode* node, LONG type, void* data) {
  if (!node || !data) return true;
  auto* tag = static_cast<BaseTag*>(node);
  if (type == MSG_DESCRIPTION_COMMAND) {
    auto* command = static_cast<DescriptionCommand*>(data);
    if (command->id[0].id == LIGHTTAG_IES_RENDER_BUTTON) return RenderPreview(tag);
  } else if (type == MSG_DESCRIPTION_GETBITMAP) {
    auto* request = static_cast<DescriptionGetBitmap*>(data);
    if (request->id[0].id == LIGHTTAG_IES_PREVIEW_BITMAP) return GetPreviewBitmap(tag, request);
  }
  return true;
}

Bool MyLightTag::GetPreviewBitmap(BaseTag* tag, DescriptionGetBitmap* request) {
  Filename preview = tag->GetDataInstance()->GetFilename(LIGHTTAG_IES_PREVIEW, Filename("NOPATH"));
  if (!GeFExist(preview)) return true;
  BaseBitmap* bitmap = BaseBitmap::Alloc();
  if (!bitmap) return true;
  // An image that does not load (still being written, or no image at all) is not shown.
  if (bitmap->Init(preview) != IMAGERESULT_OK) {
    BaseBitmap::Free(bitmap);
    return true;
  }
  request->bmp = bitmap;
  return true;
}

Bool MyLightTag::RenderPreview(BaseTag* tag) {
  BaseContainer* data = tag->GetDataInstance();
  const Filename ies = data->GetFilename(LIGHTTAG_IES_FILE);
  if (!ies.Content()) return true;

  // A preview path, once chosen, stays: later previews overwrite the same image.
  Filename preview = data->GetFilename(LIGHTTAG_IES_PREVIEW);
  if (!preview.Content()) {
    const Filename renders = PreviewFolder() + Filename("renders");
    if (const std::string why = Helpers::UseFolder(renders); !why.empty()) {
      GePrint(String("No IES preview was rendered: ") + renders.GetString() + String(": ") + String(why));
      return false;
    }
    for (;;) {
      const String first = String::LongToString(GeGetTimer());
      const String second = String::LongToString(GeGetTimer());
      preview = renders + Filename(String("ies") + first + second + String(".png"));
      if (!GeFExist(preview)) break;
      GeSleep(1);  // the next name needs the timer to move on
    }
    data->SetFilename(LIGHTTAG_IES_PREVIEW, preview);
  }

  Filename exe;
  if (!Helpers::GetOrvaneExe(&exe, 1, 1)) {
    Helpers::ChooseOrvaneExe();
    if (!Helpers::GetOrvaneExe(&exe, 1, 1)) return false;
  }
  if (!ChangeIES(ies)) {
    MessageDialog(String("The IES preview scene could not be prepared: ") + PreviewScene().GetString());
    return false;
  }
  // The renderer runs on its own; a launch that failed has said so on the console.
  Helpers::LaunchOrvane(PreviewScene(), 1, 0, 1, 1, kPreviewPort, preview, -1, 0, 0);
  return true;
}

int MyLightTag::ChangeIES(Filename ies) {
  const std::string path = Helpers::ToUTF8String(PreviewScene().GetString());
  TiXmlDocument doc;
  if (!LoadXmlFile(doc, path) || doc.Error()) return 0;
  TiXmlElement* scene = doc.RootElement();
  if (!scene || scene->ValueStr() != "scene") return 0;
  TiXmlElement* profile = nullptr;
  for (TiXmlElement* model = scene->FirstChildElement("model"); model && !profile;
       model = model->NextSiblingElement("model"))
    profile = model->FirstChildElement("ies_profile");
  if (!profile) return 0;
  if (TiXmlElement* old = profile->FirstChildElement("path")) profile->RemoveChild(old);
  SceneExportStringValue("path", Helpers::ToUTF8String(ies.GetString()), profile);
  return SaveXmlFileOrSay(doc, path, "IES preview scene") ? 1 : 0;
}

Bool RegisterMyLightTag() {
  String name = GeLoadString(10002);
  if (!name.Content()) return true;
  return RegisterTagPlugin(ID_MYLIGHTTAG, name, TAG_VISIBLE, MyLightTag::Alloc, "tMyLightTag",
                           AutoBitmap("LightTag.tif"), 0);
}
