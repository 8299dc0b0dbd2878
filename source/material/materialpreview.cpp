// The material's two buttons: a preview rendered by the renderer from the plug-in's preview scene,
// and the export of the material as a material file packed into a ".povm" archive.
#include "export/orvanesceneexporter.h"
#include "main/helpers.h"
#include "main/orvanelaunch.h"
#include "material/customorvanematerial.h"

namespace {

// Settings of the preview render: the renderer's network port and its halt value.
constexpr int kPreviewPort = 7100;
constexpr int kPreviewHaltSpp = 1000;

// The plug-in's folder of preview scenes.
Filename PreviewFolder() { return GeGetPluginPath() + Filename("preview"); }

// Writes the material file of `mat` through a fresh exporter; true when it was written, else the
// reason goes to `why` (when given). With `failedImages`, the count of texture images that could
// not be written goes there.
bool WriteMaterialFile(BaseDocument* doc, BaseMaterial* mat, const Filename& file, int preview,
                       int* failedImages = nullptr, std::string* why = nullptr) {
  OrvaneSceneExporter exporter;
  const bool written = exporter.exportOVM(doc, mat, file, preview) != 0;
  if (failedImages) *failedImages = exporter.failedImages();
  if (why) *why = exporter.saveFailure;
  return written;
}

// A file name in `folder` made of two readings of the host's timer and ".png" that no file bears.
Filename FreeImageName(const Filename& folder) {
  for (;;) {
    const String first = String::LongToString(GeGetTimer());
    const String second = String::LongToString(GeGetTimer());
    const Filename image = folder + Filename(first + second + String(".png"));
    if (!GeFExist(image)) return image;
    // Taken: wait for the timer to move on before drawing again.
    GeSleep(1);
  }
}

}  // namespace

Bool CustomOrvaneMaterial::RenderPreview(BaseMaterial* mat) {
  Filename exe;
  if (!Helpers::GetOrvaneExe(&exe, 1, 0)) {
    Helpers::ChooseOrvaneExe();
    if (!Helpers::GetOrvaneExe(&exe, 1, 0)) {
      GePrint("No preview was rendered: the Orvane folder is not known.");
      return false;
    }
  }
  const Filename folder = PreviewFolder();
  const Filename renders = folder + Filename("renders");
  if (const std::string why = Helpers::UseFolder(renders); !why.empty()) {
    GePrint(String("No preview was rendered: ") + renders.GetString() + String(": ") + String(why));
    return false;
  }
  const Filename image = FreeImageName(renders);
  const Filename scene = folder + Filename("preview.ovs");

  // Without a material file the renderer would show an older preview's material.
  if (!WriteMaterialFile(mat->GetDocument(), mat, folder + Filename("preview.ovm"), 1)) return false;
  if (!Helpers::LaunchOrvane(scene, 1, 1, 1, 1, kPreviewPort, image, kPreviewHaltSpp, 0, 0)) return false;
  // The image exists once the renderer has written it; until then its path is what is shown.
  mat->GetDataInstance()->SetString(MAT_PREVIEW_IMAGE, image.GetString());
  return true;
}

Bool CustomOrvaneMaterial::ExportMaterialFile(BaseMaterial* mat) {
  Filename archive;
  const String title;
  if (!archive.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_SAVE, &title)) {
    MessageDialog(String("OVM Export canceled by user."));
    return false;
  }
  archive.SetSuffix(String("povm"));
  const Filename materials = Helpers::GetWritePath() + Filename("materials");
  Filename file = materials + archive.GetFile();
  file.SetSuffix(String("ovm"));
  GePrint(archive.GetString());
  GePrint(file.GetString());
  std::string why = Helpers::UseFolder(materials);
  if (!why.empty()) {
    MessageDialog(String("The material file ") + file.GetString() + String(" could not be written (") +
                  String(why) + String("); nothing was packed."));
    return false;
  }

  int failedImages = 0;
  if (!WriteMaterialFile(mat->GetDocument(), mat, file, 0, &failedImages, &why)) {
    // Packing now would pack whatever an earlier export left at that path.
    MessageDialog(String("The material file ") + file.GetString() + String(" could not be written (") +
                  String(why) + String("); nothing was packed."));
    return false;
  }
  if (failedImages > 0) {
    // An archive without its textures is not the material the user sees.
    MessageDialog(String("Texture images of the material could not be written; nothing was packed."));
    return false;
  }
  if (!Helpers::PackPovm(file, archive)) {
    MessageDialog(String("The material file was written to ") + file.GetString() +
                  String(" but could not be packed."));
    return false;
  }
  return true;
}
