#include "export/orvanescenedata.h"

#include <cerrno>

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

bool OrvaneSceneData::TextureFits(const std::string& path, const String& material) {
  if (Helpers::PathFits(path)) return true;
  const std::string why = "the texture " + path + " of material " + Helpers::ToUTF8String(material) + ": " +
                          files::ErrorText(ENAMETOOLONG);
  GePrint(String("Could not use ") + String(why));
  if (unusableTexture.empty()) unusableTexture = why;
  return false;
}

bool OrvaneSceneData::UseFolder(const Filename& dir) { return ReadyFolder(dir, false); }

bool OrvaneSceneData::RenewFolder(const Filename& dir) { return ReadyFolder(dir, true); }

bool OrvaneSceneData::ReadyFolder(const Filename& dir, bool renew) {
  const std::string path = Helpers::ToUTF8String(dir.GetString());
  std::lock_guard<std::mutex> lock(foldersMutex_);
  if (!folderRefusal_.empty()) return false;
  if (!renew && readyFolders_.count(path)) return true;
  // A folder beside the scene is reached from the scene's open folder (or refused for the reason
  // it could not be walked); another, or one beside a scene folder never walked, is walked here.
  files::Folder parent = sceneFolder;
  files::Result r = sceneWalk;
  if (dir.GetDirectory().GetString() != sceneDir.GetString() || (!parent.IsOpen() && r.ok()))
    r = files::Folder::Open(Helpers::ToUTF8String(dir.GetDirectory().GetString()), &parent);
  const std::string name = Helpers::ToUTF8String(dir.GetFileString());
  files::NewFolder* made = dir.GetString() == modelsDir.GetString()     ? &newModels
                           : dir.GetString() == texturesDir.GetString() ? &newTextures
                                                                        : nullptr;
  // A folder renewed again is this export's own: it goes first, so that its owner names nothing
  // that is not its own any more.
  if (made && renew) made->Remove();
  files::Folder folder;
  if (r.ok()) r = renew ? parent.RenewFolder(name, &folder, made) : parent.UseFolder(name, &folder, made);
  if (!r.ok()) {
    // A folder another user owns is named in the reason already.
    folderRefusal_ =
        r.reason() == files::Reason::kForeignFolder ? r.Text() : "the folder " + path + ": " + r.Text();
    return false;
  }
  readyFolders_[path] = folder;
  return true;
}

files::Folder OrvaneSceneData::OpenFolder(const Filename& dir) const {
  std::lock_guard<std::mutex> lock(foldersMutex_);
  const auto found = readyFolders_.find(Helpers::ToUTF8String(dir.GetString()));
  return found == readyFolders_.end() ? files::Folder() : found->second;
}

std::string OrvaneSceneData::FolderRefusal() const {
  std::lock_guard<std::mutex> lock(foldersMutex_);
  return folderRefusal_;
}
