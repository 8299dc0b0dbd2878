// The "Bake Material on Object" command: bakes the channel shaders of a plug-in material on a
// polygon object into JPEG files and gives a copy of the object whose material uses them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "c4d.h"

/// One channel a bake writes: which link it bakes, into which file, through which temporary
/// material and tag (made and removed on the main thread).
struct BakeChannelJob {
  LONG linkId = 0;                       ///< The material copy's shader link.
  const char* name = "";                 ///< "albedo", "bump", ...
  Filename file;                         ///< The file written; empty until written.
  BaseMaterial* tempMaterial = nullptr;  ///< Standard material holding a clone of the shader.
  TextureTag* tempTag = nullptr;         ///< Texture tag on the object copy using `tempMaterial`.
  bool ok = false;                       ///< Baked and saved.
  std::string why;                       ///< Why not, once the bake has failed.
};

/// The worker that bakes each prepared channel and saves it; it changes nothing in the document.
class TextureBakeThread : public C4DThread {
 public:
  TextureBakeThread(BaseDocument* document, PolygonObject* object, BaseMaterial* material, UVWTag* uvwTag,
                    TextureTag* textureTag, BaseContainer settings);
  ~TextureBakeThread() override { End(TRUE); }
  Bool TestDBreak() override { return false; }
  void Main() override;
  const char* GetThreadName() override { return "Corvane Bake Thread"; }
  /// Bakes one job: true when its file was written.
  bool BakeShaderOnObject(BakeChannelJob& job);

  BaseDocument* document;
  PolygonObject* object;             ///< The object copy.
  BaseMaterial* material;            ///< The material copy.
  TextureTag* textureTag;            ///< The copy's texture tag.
  UVWTag* uvwTag;                    ///< The UVW tag the bake uses.
  BaseContainer settings;            ///< The bake settings.
  std::vector<BakeChannelJob> jobs;  ///< Prepared before the start, read after the end.
};

/// The bake dialog: channels, target file and bake settings; runs the bake thread.
class BakeDialog : public GeDialog {
 public:
  BakeDialog(BaseDocument* doc, TextureTag* tag, PolygonObject* object, BaseMaterial* material)
      : document(doc), tag(tag), object(object), material(material) {}
  ~BakeDialog() override;
  Bool CreateLayout() override;
  Bool InitValues() override;
  Bool Command(LONG id, const BaseContainer& msg) override;
  Bool AskClose() override;
  void Timer(const BaseContainer& msg) override;
  LONG Message(const BaseContainer& msg, BaseContainer& result) override;
  /// The bake settings from the dialog's gadgets.
  BaseContainer CreateBakeSettings();
  /// Replaces the shader of `linkId` on `mat` by a bitmap shader of `file` (nothing without a
  /// linked shader or with an empty file).
  void SetBakedTexture(LONG linkId, BaseMaterial* mat, const Filename& file);

  /// Waits for a bake still running and takes in its results (see `CollectResults`).
  void TakeResults();

  std::unique_ptr<TextureBakeThread> thread;
  BaseDocument* document;
  TextureTag* tag;
  PolygonObject* object;
  BaseMaterial* material;
  bool baked = false;     ///< A bake ended with every chosen channel baked and linked.
  bool reported = false;  ///< A failure or refusal was told on the console or in a message.

 private:
  Bool StartBake();
  /// Takes in the results of a bake whose thread has ended: links the written files into the
  /// copy's material and removes the bake's temporary materials and tags. False while no thread
  /// exists or it still runs.
  bool CollectResults();
  void FinishBake();
};

/// False when an image of `width` x `height` pixels of three bytes each would pass INT_MAX bytes;
/// exact also for sides near the largest LONG. Sides below 1 are left to the baker to refuse.
bool BakeSizeFits(LONG width, LONG height);

/// Bakes the channels of a material on the selected object to image files.
class BakeMaterialOnObject : public CommandData {
 public:
  /// Enabled for exactly one selected texture tag of a plug-in material on a polygon object.
  LONG GetState(BaseDocument* doc) override;
  /// Opens the bake dialog for the selected tag (the selection is checked again). True only when
  /// a bake ran and baked every chosen channel; otherwise false, after saying why.
  Bool Execute(BaseDocument* doc) override;

  TextureTag* tag = nullptr;
  PolygonObject* object = nullptr;
  BaseMaterial* material = nullptr;
};

/// Registers the command under the name of string resource 10022; true without registering
/// when that name is empty.
Bool RegisterBakeMaterialOnObject();
