#include "export/orvanescenedata.h"

#include "files/temporaryfile.h"
#include "main/helpers.h"

OrvaneSceneData::OrvaneSceneData() : clayAlbedo(0.71, 0.62, 0.53) {}

unsigned OrvaneSceneData::AddLightLayer(int layer) {
  auto found = lightLayers.find(layer);
  if (found != lightLayers.end()) return static_cast<unsigned>(found->second);
  const int index = static_cast<int>(lightLayers.size());
  lightLayers.emplace(layer, index);
  return static_cast<unsigned>(index);
}

void OrvaneSceneData::MakeMaterialNames() { materialNames.reset(new MaterialNameTable(document)); }

String OrvaneSceneData::MaterialName(BaseMaterial* mat) const {
  return MaterialNameTable::Name(materialNames.get(), mat, document);
}

bool OrvaneSceneData::UseFolder(const Filename& dir) { return ReadyFolder(dir, false); }

bool OrvaneSceneData::RenewFolder(const Filename& dir) { return ReadyFolder(dir, true); }

bool OrvaneSceneData::ReadyFolder(const Filename& dir, bool renew) {
  const std::string path = Helpers::ToUTF8String(dir.GetString());
  std::lock_guard<std::mutex> lock(foldersMutex_);
  if (!folderRefusal_.empty()) return false;
  if (!renew && readyFolders_.count(path)) return true;
  std::string why;
  TemporaryFile::Folder folder;
  // A folder beside the scene is reached from the scene's open folder.
  const bool beside = sceneFolder.IsOpen() && dir.GetDirectory().GetString() == sceneDir.GetString();
  const std::string name = Helpers::ToUTF8String(dir.GetFileString());
  const int refused =
      beside ? (renew ? TemporaryFile::RenewFolderIn(sceneFolder, name, path, false, &why, &folder)
                      : TemporaryFile::UseFolderIn(sceneFolder, name, path, true, true, &why, &folder))
             : (renew ? TemporaryFile::RenewFolder(path, false, &why, &folder)
                      : TemporaryFile::UseFolder(path, true, true, &why, &folder));
  if (refused != 0) {
    // A folder another user owns is named in the reason already.
    folderRefusal_ = why.rfind("the folder ", 0) == 0 ? why : "the folder " + path + ": " + why;
    return false;
  }
  readyFolders_[path] = folder;
  return true;
}

TemporaryFile::Folder OrvaneSceneData::OpenFolder(const Filename& dir) const {
  std::lock_guard<std::mutex> lock(foldersMutex_);
  const auto found = readyFolders_.find(Helpers::ToUTF8String(dir.GetString()));
  return found == readyFolders_.end() ? TemporaryFile::Folder() : found->second;
}

std::string OrvaneSceneData::FolderRefusal() const {
  std::lock_guard<std::mutex> lock(foldersMutex_);
  return folderRefusal_;
}
