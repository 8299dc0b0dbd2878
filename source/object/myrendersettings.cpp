#include "object/myrendersettings.h"

namespace {
OrvaneDLLWrapper* orvaneClass = nullptr;
}

Bool RegisterRenderSettingsVP(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  String name = GeLoadString(10000);
  if (!name.Content()) return true;
  return RegisterVideoPostPlugin(1020896, name, 0, RenderSettingsNode::Alloc, "oMyRenderSettings", 0, 100);
}
