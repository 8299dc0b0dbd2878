#include "object/myrendersettings.h"
#include "main/helpers.h"

namespace {

OrvaneDLLWrapper* orvaneClass = nullptr;

// The plug-in material's emission switch: a background material lights the scene only with it.
constexpr LONG kMaterialUseEmission = 6007;

// The scene unit matching the unit of the host's world preferences; custom for units other than
// kilometres, metres, centimetres and millimetres.
LONG SceneUnitOfPreferences() {
  switch (GetWorldContainer().GetLong(WPREF_UNITS, 0)) {
    case UNIT_KM: return RS_UNIT_KM;
    case UNIT_M: return RS_UNIT_M;
    case UNIT_CM: return RS_UNIT_CM;
    case UNIT_MM: return RS_UNIT_MM;
    default: return RS_UNIT_CUSTOM;
  }
}

}  // namespace

Bool RenderSettingsNode::Init(GeListNode* node) {
  BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();

  data->SetBool(RS_HYBRID, FALSE);
  data->SetLong(RS_BIH_TRI_THRESHOLD, 800);
  data->SetReal(RS_TURBIDITY, 2.0);
  data->SetReal(RS_LARGE_MUTATION_PROB, 0.4);
  data->SetReal(RS_MAX_CHANGE, 0.01);
  data->SetLong(RS_MAX_DEPTH, 10000);
  data->SetLong(RS_MAX_NUM_CONSEC_REJECTIONS, 1000);
  data->SetReal(RS_DISPLAY_PERIOD, 60.0);
  data->SetReal(RS_IMAGE_SAVE_PERIOD, 300.0);
  data->SetBool(RS_LOGGING, TRUE);
  data->SetBool(RS_SAVE_UNTONEMAPPED_EXR, FALSE);
  data->SetBool(RS_SAVE_TONEMAPPED_EXR, FALSE);
  data->SetReal(RS_HALT_TIME, -1.0);
  data->SetReal(RS_HALT_SPP, -1.0);
  data->SetBool(RS_CACHE_TREES, TRUE);
  data->SetBool(RS_POLARISATION, FALSE);
  data->SetBool(RS_SAVE_OVI, TRUE);

  data->SetLong(RS_NUM_THREADS, GeGetCPUCount());
  data->SetBool(RS_AUTO_CHOOSE_NUM_THREADS, TRUE);
  data->SetReal(RS_CUSTOM_SCALE, 1.0);
  data->SetLong(RS_RENDER_MODE, RS_MODE_BIDIR);
  data->SetLong(RS_LIGHTING_MODE, RS_LIGHTING_MODE_NONE);
  data->SetBool(RS_EXTRA_ATMOSPHERIC, FALSE);
  data->SetBool(RS_SUNSKY_LAYERS, TRUE);

  data->SetLong(RS_SCALE_UNIT, SceneUnitOfPreferences());

  data->SetReal(RS_CUSTOM_SCALE, 1.0);
  data->SetFilename(RS_EXPORT_FILENAME, Filename());
  data->SetBool(RS_USE_DOCUMENT_PATH, FALSE);
  data->SetBool(RS_CLAY_MODE, FALSE);
  data->SetBool(RS_FOREGROUND_ALPHA, FALSE);
  data->SetBool(RS_LAUNCH_FLAG_A, TRUE);
  data->SetBool(RS_LAUNCH_FLAG_B, FALSE);
  data->SetBool(RS_NETWORK_MASTER, FALSE);
  data->SetLong(RS_NETWORK_PORT, 7100);
  data->SetBool(RS_USE_SCENE_PATH, FALSE);

  for (LONG i = 0; i <= RS_LIGHT_LAYER_NAME_LAST - RS_LIGHT_LAYER_NAME; ++i)
    data->SetString(RS_LIGHT_LAYER_NAME + i, String("Layer ") + String::LongToString(i + 1));

  data->SetBool(RS_ANIMATION, FALSE);
  data->SetVector(RS_CLAY_COLOR, LVector(0.71, 0.62, 0.53));
  data->SetBool(RS_WAIT_FOR_SLAVE_FRAMES_ON_STOP, FALSE);
  data->SetReal(RS_FRAME_UPLOAD_PERIOD, 120.0);
  data->SetBool(RS_GLASS_ACCELERATION, FALSE);
  data->SetBool(RS_VERBOSE, FALSE);
  return TRUE;
}

Bool RenderSettingsNode::Message(GeListNode*, LONG, void*) { return TRUE; }

Bool RenderSettingsNode::GetDDescription(GeListNode* node, Description* description, LONG& flags) {
  if (!description || !description->LoadDescription(ID_RENDERSETTINGS)) return FALSE;
  const BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();

  Helpers::HideDescriptionEntry(description, RS_CUSTOM_SCALE,
                                data->GetLong(RS_SCALE_UNIT, RS_UNIT_CM) != RS_UNIT_CUSTOM);

  switch (data->GetLong(RS_LIGHTING_MODE)) {
    case RS_LIGHTING_MODE_SUNSKY:
      Helpers::HideDescriptionEntry(description, RS_GROUP_SUNSKY, FALSE);
      Helpers::HideDescriptionEntry(description, RS_GROUP_BACKGROUND, TRUE);
      break;
    case RS_LIGHTING_MODE_BACKGROUND:
      Helpers::HideDescriptionEntry(description, RS_GROUP_SUNSKY, TRUE);
      Helpers::HideDescriptionEntry(description, RS_GROUP_BACKGROUND, FALSE);
      break;
    case RS_LIGHTING_MODE_NONE:
      Helpers::HideDescriptionEntry(description, RS_GROUP_SUNSKY, TRUE);
      Helpers::HideDescriptionEntry(description, RS_GROUP_BACKGROUND, TRUE);
      break;
    default: break;
  }

  Helpers::HideDescriptionEntry(description, RS_NUM_THREADS, data->GetBool(RS_AUTO_CHOOSE_NUM_THREADS));

  flags |= DESCFLAGS_DESC_LOADED;
  return TRUE;
}

Bool RenderSettingsNode::GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                                      const BaseContainer* itemdesc) {
  if (!node) return FALSE;
  const BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();
  const Bool useScenePath = data->GetBool(RS_USE_SCENE_PATH);
  const Bool useDocumentPath = data->GetBool(RS_USE_DOCUMENT_PATH);
  const Bool saveImage = data->GetBool(RS_SAVE_IMAGE);
  const Bool rendersDir = data->GetBool(RS_RENDERS_DIR);
  const Bool clayMode = data->GetBool(RS_CLAY_MODE);
  const LONG mode = data->GetLong(RS_RENDER_MODE, RS_MODE_BIDIR_MLT);

  switch (id[0].id) {
    case RS_EXPORT_FILENAME: return useScenePath && !useDocumentPath;
    case RS_USE_DOCUMENT_PATH: return useScenePath;
    case RS_OUTPUT_FILENAME: return saveImage && !rendersDir;
    case RS_RENDERS_DIR: return useScenePath && saveImage;
    case RS_CLAY_COLOR: return clayMode;
    case RS_MAX_NUM_CONSEC_REJECTIONS:
    case RS_LARGE_MUTATION_PROB:
    case RS_MAX_CHANGE: return mode == RS_MODE_MLT || mode == RS_MODE_BIDIR_MLT;
    case RS_HYBRID: return FALSE;
    default: return NodeData::GetDEnabling(node, id, value, flags, itemdesc);
  }
}

Bool RenderSettingsNode::SetDParameter(GeListNode* node, const DescID& id, const GeData& value, LONG& flags) {
  if (node && id[0].id == RS_BACKGROUND_MATERIAL) {
    BaseList2D* linked = value.GetLink(node->GetDocument());
    if (linked && linked->GetDataInstance() &&
        !linked->GetDataInstance()->GetBool(kMaterialUseEmission, FALSE))
      MessageDialog("Emission must be enabled!");
  }
  return NodeData::SetDParameter(node, id, value, flags);
}

LONG RenderSettingsNode::GetRenderInfo(BaseVideoPost*) { return 0; }

// --- In-host render ------------------------------------------------------------------------------

Bool RenderSettingsNode::AllocateBuffers(BaseVideoPost* /*node*/, void* render, BaseDocument* /*doc*/) {
  auto* r = static_cast<Render*>(render);
  return r && r->AllocateBuffer(VPBUFFER_RGBA, 0, 8, false);
}

LONG RenderSettingsNode::Execute(BaseVideoPost* node, VideoPostStruct* vps) {
  return render_.Execute(orvaneClass, this, node, vps);
}

// -------------------------------------------------------------------------------------------------

Bool RegisterRenderSettingsVP(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  String name = GeLoadString(10000);
  if (!name.Content()) return true;
  return RegisterVideoPostPlugin(1020896, name, 0, RenderSettingsNode::Alloc, "oMyRenderSettings", 0, 100);
}
