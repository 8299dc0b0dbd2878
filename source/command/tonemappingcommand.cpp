#include "command/tonemappingcommand.h"

#include <new>

namespace {
OrvaneDLLWrapper* orvaneClass = nullptr;

constexpr LONG kTonemappingCommandId = 1023599;
}  // namespace

Bool TMCommand::Execute(BaseDocument* /*doc*/) {
  if (!orvaneClass) {
    GePrint("No renderer is attached: nothing to tonemap.");
    return false;
  }
  dialog_.SetConnection(orvaneClass);
  return dialog_.Open(DLG_TYPE_MODAL, kTonemappingCommandId, -1, -1, 500, 100);
}

LONG TMCommand::GetState(BaseDocument* /*doc*/) { return CMD_ENABLED; }

Bool TMCommand::RestoreLayout(void* secret) {
  return dialog_.RestoreLayout(kTonemappingCommandId, 0, secret);
}

Bool RegisterTMCommand(OrvaneDLLWrapper* connection) {
  orvaneClass = connection;
  return RegisterCommandPlugin(kTonemappingCommandId, "Orvane Tonemapping", PLUGINFLAG_HIDEPLUGINMENU,
                               AutoBitmap("tonemapping.tif"), "Orvane Interactive Tonemapping Dialog",
                               new (std::nothrow) TMCommand);
}
