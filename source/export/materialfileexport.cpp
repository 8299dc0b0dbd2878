// The material file (".ovm"): one material with everything it depends on, under the root
// "scenedata", and its baked textures in the folder "textures." + the file's name beside it.
#include <tinyxml.h>

#include <cerrno>

#include "export/orvanesceneexporter.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "material/exportbasematerial.h"
#include "utils/stringutils.h"

namespace {

// True for a path that starts at the file system's root.
bool IsAbsolute(const Filename& dir) {
  const std::string path = Helpers::ToUTF8String(dir.GetString());
  return !path.empty() && path[0] == '/';
}

}  // namespace

int OrvaneSceneExporter::exportOVM(BaseDocument* doc, BaseMaterial* mat, Filename file, int preview) {
  if (!doc || !mat) {
    saveFailure = "the material is in no document";
    return 0;
  }

  // What an interrupted export left behind goes first.
  FreeExportState();
  lastFailedImages = 0;

  file.ClearSuffix();
  const Filename dir = file.GetDirectory();
  const String name = file.GetFileString();
  // The textures folder is emptied below: never one relative to the working directory.
  if (!IsAbsolute(dir) || !name.Content()) {
    saveFailure = "not an absolute path";
    GePrint(String("Could not save material file: ") + file.GetString() + String(".ovm") +
            String(" (not an absolute path)"));
    return 0;
  }
  // No program could open a file at a longer path: nothing of it is written.
  if (!Helpers::PathFits(Helpers::ToUTF8String(file.GetString()) + ".ovm")) {
    saveFailure = files::ErrorText(ENAMETOOLONG);
    GePrint(String("Could not save material file: ") + file.GetString() + String(".ovm: ") +
            String(saveFailure));
    return 0;
  }

  sceneData = new OrvaneSceneData();
  sceneData->document = doc;
  sceneData->frame = 0;
  sceneData->sceneDir = dir;
  // Walked once: the material file and its textures folder go through it.
  sceneData->sceneWalk = files::Folder::Open(Helpers::ToUTF8String(dir.GetString()), &sceneData->sceneFolder);
  sceneData->texturesDir = dir + Filename(String("textures.") + name);
  // Emptied as a whole: the material's images of an earlier export are not this one's.
  if (!sceneData->RenewFolder(sceneData->texturesDir)) {
    saveFailure = sceneData->FolderRefusal();
    GePrint(String("Could not save material file: ") + file.GetString() + String(".ovm (") +
            String(saveFailure) + String(")"));
    FreeExportState();
    return 0;
  }

  baseName = name + String(".ovm");
  initVariables();
  GePrint("* Exporting OVM...");

  sceneElement = new TiXmlElement("scenedata");
  xmlDocument.LinkEndChild(sceneElement);
  SceneExportCorvaneComments();

  TiXmlElement* nullMaterial = new TiXmlElement("material");
  SceneExportStringValue("name", "nullMat", nullMaterial);
  nullMaterial->LinkEndChild(new TiXmlElement("null_material"));
  sceneElement->LinkEndChild(nullMaterial);

  StatusSetText("Export Materials");
  ExportBaseMaterial(mat, sceneElement, nullptr, sceneData, preview, 0);

  const String path = dir.GetString() + String("/") + baseName;
  // The new textures folder stays with the file; a failure removes it.
  const files::Result saved = SaveXmlFile(xmlDocument, sceneData->sceneFolder,
                                          Helpers::ToUTF8String(baseName), {&sceneData->newTextures});
  saveFailure = saved.Text();
  if (!saved.ok())
    GePrint(String("Could not save material file: ") + path + String(": ") + String(saveFailure));
  lastFailedImages = sceneData->failedImages;

  FreeExportState();
  return saved.ok() ? 1 : 0;
}
