#include "command/myabout.h"

#include "main/version.h"

namespace {

enum {
  IDC_NAME = 177162,
  IDC_CREDIT = 177163,
};

constexpr LONG kCentred = 0;
constexpr LONG kFitH = 24;

}  // namespace

Bool MyAboutDialog::CreateLayout() {
  SetTitle("About");
  AddStaticText(IDC_NAME, kCentred, 500, 10, kCorvaneVersion, 0);
  AddStaticText(IDC_CREDIT, kCentred, 500, 10, "Developed by the Corvane team", 0);
  AddSeparatorH(500, kFitH);
  // The credit lines share one ID: they are only shown, never read back.
  AddStaticText(IDC_CREDIT, kCentred, 500, 10, "Icons drawn by the Corvane team", 0);
  AddStaticText(IDC_CREDIT, kCentred, 500, 10, "Icons made from plain shapes, no icon set used", 0);
  AddDlgGroup(DLG_OK);
  return true;
}

Bool MyAboutDialog::Command(LONG id, const BaseContainer&) {
  if (id == DLG_OK) Close();
  return true;
}

Bool ShowAbout::Execute(BaseDocument*) {
  MyAboutDialog dialog;
  return dialog.Open(DLG_TYPE_MODAL, 0, -1, -1, 0, 0) != 0;
}

Bool RegisterMyAbout() {
  String name = GeLoadString(10005);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1020894, name, 0, AutoBitmap("About.tif"), "About", new ShowAbout);
}
