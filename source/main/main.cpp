// Start-up, messages and end of the plug-in.
#include "main/main.h"

#include <new>

#include "command/bakematerialonobject.h"
#include "command/convertmats.h"
#include "command/createinstances.h"
#include "command/generateuvwtag.h"
#include "command/importovm.h"
#include "command/myabout.h"
#include "command/neworvanemat.h"
#include "command/pausecommand.h"
#include "command/quickrender.h"
#include "command/resumecommand.h"
#include "command/tonemappingcommand.h"
#include "gui/corvaneheader.h"
#include "gui/corvanepreview.h"
#include "main/childreaper.h"
#include "main/instancesuppresser.h"
#include "main/version.h"
#include "material/customorvanematerial.h"
#include "material/materialtree.h"
#include "object/myrendersettings.h"
#include "object/orvanedllwrapper.h"
#include "object/orvaneinstance.h"
#include "shader/ovlblend.h"
#include "shader/ovlgradient.h"
#include "shader/ovlnoise.h"
#include "shader/ovlshader.h"
#include "tag/cameratag.h"
#include "tag/myexitportal.h"
#include "tag/mylighttag.h"
#include "tag/mysubdivision.h"

const char kBannerRule[] =
    ".__.--._.-._.-.__.--._.-.__.--._.-._.-.__.--._.-.__.--._.-._.-.__.--._.-.__.--._.-._.-.__.--._.-"
    ".__.--._.-._.-.__.--._.-.__.--.";
static_assert(sizeof(kBannerRule) == 128, "the banner rule is 127 characters");

namespace {

InstanceSuppresser* instSuppress = nullptr;
OrvaneDLLWrapper* orvaneClass = nullptr;

const char kBannerPrefix[] = "._.-. ";

void PrintBanner() {
  // Each call prints one console line: the blank lines around the banner are lines of their own.
  GePrint(String());
  GePrint(kBannerRule);
  GePrint(String(kBannerPrefix) + kCorvaneVersion);
  GePrint(String(kBannerPrefix) + "Orvane exporter for the host, by the Corvane developers");
  GePrint(String(kBannerPrefix) + "Documentation: https://www.orvane.example/docs/corvane");
  GePrint(kBannerRule);
  GePrint(String());
}

}  // namespace

InstanceSuppresser* GetInstanceSuppresser() { return instSuppress; }

Bool PluginStart() {
  instSuppress = new InstanceSuppresser();

  // The connection object is made and released again at once: no renderer library is attached,
  // so every holder below receives none and stays inert.
  orvaneClass = new (std::nothrow) OrvaneDLLWrapper();
  if (!orvaneClass) {
    GePrint("Initialisation failed!");
    GePrint("Aborting PluginStart()...");
    return false;
  }
  delete orvaneClass;
  orvaneClass = nullptr;

  if (!RegisterMyLightTag()) return false;
  if (!RegisterMyExitPortal()) return false;
  if (!RegisterCameraTag(orvaneClass)) return false;
  if (!RegisterMySubdivision()) return false;
  if (!RegisterGenerateUVWTag()) return false;
  if (!RegisterBakeMaterialOnObject()) return false;
  if (!RegisterMyAbout()) return false;
  if (!RegisterConvertMats()) return false;
  if (!RegisterImportOVM()) return false;
  if (!RegisterQuickRender(instSuppress)) return false;
  if (!RegisterCreateInstances()) return false;
  if (!RegisterNewOrvaneMat()) return false;
  if (!RegisterResumeCommand(orvaneClass)) return false;
  if (!RegisterPauseCommand(orvaneClass)) return false;
  if (!RegisterTMCommand(orvaneClass)) return false;
  if (!RegisterOrvaneInstance(instSuppress)) return false;
  if (!RegisterRenderSettingsVP(orvaneClass)) return false;
  if (!RegisterSeparators()) return false;
  if (!RegisterHeaderGUI()) return false;
  if (!RegisterTreeGUI()) return false;
  if (!RegisterPreviewGUI()) return false;
  if (!RegisterOVL()) return false;
  if (!RegisterCustomOrvaneMaterial()) return false;
  if (!RegisterOVLnoise()) return false;
  if (!RegisterOVLblend()) return false;
  if (!RegisterOVLgradient()) return false;

  PrintBanner();
  return true;
}

Bool PluginMessage(LONG id, void* /*data*/) {
  switch (id) {
    case C4DPL_INIT_RESOURCE: return resource.Init();
    case C4DPL_BUILDMENU: EnhanceMainMenu(); return false;
    case 0: return true;
    default: return false;
  }
}

void PluginEnd() {
  // No thread of the plug-in may outlive it: renderers still running are left to the host.
  ChildReaper::Get().Stop();
  delete orvaneClass;
  orvaneClass = nullptr;
  delete instSuppress;
  instSuppress = nullptr;
}

Bool RegisterSeparators() {
  if (!RegisterCommandPlugin(1022283, "#$3 --", 0, nullptr, "", new CommandData)) return false;
  return RegisterCommandPlugin(1022284, "#$6 --", 0, nullptr, "", new CommandData);
}

void EnhanceMainMenu() {
  LONG version = GeGetVersionType();
  if (version < 0 || version > 4) return;

  if (orvaneClass) {
    BaseContainer* viewer = GetMenuResource("M_PICTURE_VIEWER");
    if (!viewer) return;
    if (SearchMenuResource(viewer, "PLUGIN_CMD_1023599")) return;
    GeData* insertAfter = SearchPluginMenuResource("IDS_OUTWINDOW_VIEW");
    BaseContainer options;
    options.InsData(MENURESOURCE_SUBTITLE, String("Orvane Options"));
    options.InsData(MENURESOURCE_COMMAND, String("PLUGIN_CMD_1023599"));
    options.InsData(MENURESOURCE_COMMAND, String("PLUGIN_CMD_1023695"));
    options.InsData(MENURESOURCE_COMMAND, String("PLUGIN_CMD_1023696"));
    if (insertAfter)
      viewer->InsDataAfter(MENURESOURCE_STRING, options, insertAfter);
    else
      viewer->InsData(MENURESOURCE_STRING, options);
  }

  BaseContainer* manager = GetMenuResource("M_MATERIAL_MANAGER");
  if (!manager) return;
  BaseContainer* submenu = manager->GetContainerInstance(MENURESOURCE_SUBMENU);
  if (!submenu) return;
  if (SearchMenuResource(submenu, "PLUGIN_CMD_1024454")) return;
  submenu->InsDataAfter(MENURESOURCE_COMMAND, String("PLUGIN_CMD_1024454"),
                        submenu->GetDataPointer(MENURESOURCE_SUBMENU));
}
