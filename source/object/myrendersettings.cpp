#include "object/myrendersettings.h"

namespace {
OrvaneDLLWrapper* orvaneClass = nullptr;
}

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
