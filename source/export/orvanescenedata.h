// What one export of a scene or material file shares between the exporter and the writers.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "c4d.h"
#include "export/materialnametable.h"
#include "files/folder.h"
#include "files/result.h"
#include "files/temporary.h"

/// Per-export data: made anew for every exported frame or material file, deleted by the exporter
/// at the end of that export.
struct OrvaneSceneData {
  OrvaneSceneData();

  /// The dense index of light layer `layer`: the one given before, or for a new layer the number
  /// of layers recorded so far (indices run 0, 1, 2, ... in order of first use).
  unsigned AddLightLayer(int layer);

  /// Makes the export's table of material names for `document`. An export calls it once, before
  /// it writes anything; the writers, on whatever thread, only read the table afterwards.
  void MakeMaterialNames();
  /// The name under which this export writes and refers to `mat`: from the export's table, or
  /// without one (or for another document) `Helpers::GetUniqueMaterialName(mat, document)`.
  String MaterialName(BaseMaterial* mat) const;

  BaseDocument* document = nullptr;  ///< The document being exported (not owned).
  std::map<int, int> lightLayers;    ///< Light layer number -> dense index.
  Filename sceneDir;                 ///< Folder of the scene (or material) file.
  /// `sceneDir`, walked once when the export began, so that the scene, the folders beside it and
  /// every file in them are written in one folder whatever happens to its path meanwhile; not
  /// open when it could not be walked (`sceneWalk` then says why, and so does each write).
  files::Folder sceneFolder;
  files::Result sceneWalk;  ///< What the walk of `sceneDir` gave.
  Filename modelsDir;       ///< Folder of the mesh files.
  Filename texturesDir;     ///< Folder of the baked texture images.
  /// `modelsDir` and `texturesDir` when this export made them: removed with this data unless the
  /// file that refers to them keeps them as it is committed (`files::TemporaryFile::Commit`).
  files::NewFolder newModels, newTextures;
  int frame = 0;                   ///< Frame number of this scene.
  double exposureDuration = 0.05;  ///< Shutter time in seconds.
  double globalScale = 1.0;        ///< Metres per host unit.
  int foregroundAlpha = 0;         ///< Foreground-alpha render.
  int animation = 0;               ///< 1 when an animation is exported (per-frame file names).
  int clayMode = 0;                ///< Clay render.
  LVector clayAlbedo;              ///< Albedo of the clay material.
  /// The export's material names (`MakeMaterialNames`), or null.
  std::unique_ptr<const MaterialNameTable> materialNames;
  int failedImages = 0;  ///< Texture images that could not be baked and written.
  /// Why no scene may name the textures of this export: the first texture file at a path no
  /// program could open, with its material ("the texture P of material N: File name too long");
  /// "" while there is none.
  std::string unusableTexture;

  /// False when the texture file `path` of the material `material`, which the export names, is at
  /// a path no program could open (the renderer never could): the console says so, and the first
  /// such is kept in `unusableTexture`.
  bool TextureFits(const std::string& path, const String& material);

  /// Makes ready the export's folder `dir` (its mesh or texture folder) the first time a writer,
  /// on whatever thread, asks for it: reached from `sceneFolder` when it is beside the scene, made
  /// when missing and then owned by `newModels` or `newTextures`, so that a failed or interrupted
  /// export removes it. In a shared folder, one that another user planted (or a link of theirs) is
  /// refused: false, with the reason in `FolderRefusal`.
  bool UseFolder(const Filename& dir);
  /// `UseFolder` for a folder that is emptied first (`files::Folder::RenewFolder`): a material
  /// file's texture folder.
  bool RenewFolder(const Filename& dir);
  /// Why a folder of this export was refused, "" while none was.
  std::string FolderRefusal() const;
  /// The folder `dir` that `UseFolder` or `RenewFolder` made ready, open; not open before.
  files::Folder OpenFolder(const Filename& dir) const;

 private:
  /// Makes `dir` ready with `renew` or `files::Folder::UseFolder` unless it is already.
  bool ReadyFolder(const Filename& dir, bool renew);
  mutable std::mutex foldersMutex_;
  std::map<std::string, files::Folder> readyFolders_;
  std::string folderRefusal_;
};
