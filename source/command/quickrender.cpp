#include "command/quickrender.h"

#include "command/exportdialog.h"
#include "main/instancesuppresser.h"

namespace {
InstanceSuppresser* instSuppress = nullptr;
}

Bool RegisterQuickRender(InstanceSuppresser* suppresser) {
  instSuppress = suppresser;
  String name = GeLoadString(10020);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1023920, name, 0, AutoBitmap("Export.tif"), "Render with Orvane",
                               new QuickRender);
}

InstanceSuppresser* QuickRenderSuppresser() { return instSuppress; }

Bool QuickRender::Execute(BaseDocument* doc) {
  ExportDialog dialog(doc);
  // A render that ends without the renderer started (nothing exported, a file not written, the
  // renderer not found) is no success.
  return dialog.Open(DLG_TYPE_MODAL, 0, 400, 400, 0, 0, 0) && dialog.Launched();
}
