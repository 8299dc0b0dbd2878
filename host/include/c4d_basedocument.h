// Documents, render data and video posts.
#pragma once

#include "c4d_baseobject.h"
#include "c4d_basematerial.h"

class AtomArray;
class BaseDraw;
class BaseThread;
namespace host {
struct DocumentEdits;
}

/// Kinds of undo entries (`BaseDocument::AddUndo`).
enum {
  UNDOTYPE_CHANGE = 40,             ///< The node's parameters, name, layer and placement change.
  UNDOTYPE_CHANGE_NOCHILDREN = 41,  ///< As `UNDOTYPE_CHANGE`.
  UNDOTYPE_CHANGE_SMALL = 42,       ///< As `UNDOTYPE_CHANGE`.
  UNDOTYPE_NEW = 44,                ///< The node was just inserted; undoing removes and frees it.
  UNDOTYPE_DELETE = 45,             ///< The node is about to be taken out: the caller removes it and
                                    ///< must not free it; the step keeps it, and undoing puts it back
                                    ///< after its former predecessor or under its former parent.
};

/// Modes of `BaseDocument::SetActiveObject`.
enum {
  SELECTION_NEW = 0,  ///< The node becomes the only selected one of its kind.
  SELECTION_ADD = 1,  ///< The node is selected as well.
  SELECTION_SUB = 2,  ///< The node is deselected.
};

/// Messages to nodes.
enum {
  MSG_UPDATE = 7,  ///< The node's data changed.
};

/// A video post of render data.
class BaseVideoPost : public BaseList2D {
 public:
  /// A new video post of a registered plug-in type, or null for an unknown type.
  static BaseVideoPost* Alloc(LONG type);
  static void Free(BaseVideoPost*& vp);
  BaseVideoPost* GetNext() const { return static_cast<BaseVideoPost*>(GeListNode::GetNext()); }
  Bool IsInstanceOf(LONG id) const override { return id == VPbase || C4DAtom::IsInstanceOf(id); }

 protected:
  explicit BaseVideoPost(LONG type) : BaseList2D(type) {}
};

/// Render data IDs read by plug-ins.
enum {
  RDATA_XRES = 5008,       ///< Image width in pixels (800 in new render data).
  RDATA_YRES = 5009,       ///< Image height in pixels (600 in new render data).
  RDATA_FRAMEFROM = 5017,  ///< First frame of the range (a time).
  RDATA_FRAMETO = 5018,    ///< Last frame of the range (a time).
};

/// The render settings of a document with their video posts.
class RenderData : public BaseList2D {
 public:
  static RenderData* Alloc();
  static void Free(RenderData*& rd);
  RenderData* GetNext() const { return static_cast<RenderData*>(GeListNode::GetNext()); }
  BaseVideoPost* GetFirstVideoPost() const { return static_cast<BaseVideoPost*>(videoPosts_.GetFirst()); }
  /// Inserts `vp` after `pred` (first when null).
  void InsertVideoPost(BaseVideoPost* vp, BaseVideoPost* pred = nullptr);
  /// Appends `vp` after the last video post.
  void InsertVideoPostLast(BaseVideoPost* vp) { videoPosts_.InsertLast(vp); }

 protected:
  RenderData() : BaseList2D(Rbase), videoPosts_(this) {}
  void FreeBranches() override { videoPosts_.FlushAll(); }

 private:
  GeListHead videoPosts_;
};

/// A document: objects, materials, render data, time.
class BaseDocument : public BaseList2D {
 public:
  /// A new empty document with one render data, 30 fps, time 0.
  static BaseDocument* Alloc();
  static void Free(BaseDocument*& doc);

  BaseObject* GetFirstObject() const { return static_cast<BaseObject*>(objects_.GetFirst()); }
  /// Inserts `op` under `parent` after `pred`; without both it goes first at the top.
  void InsertObject(BaseObject* op, BaseObject* parent, BaseObject* pred);
  /// The first object of that name in tree order, or null.
  BaseObject* SearchObject(const String& name) const;
  BaseMaterial* GetFirstMaterial() const { return static_cast<BaseMaterial*>(materials_.GetFirst()); }
  /// Inserts `mat` after `pred` (first when null).
  void InsertMaterial(BaseMaterial* mat, BaseMaterial* pred = nullptr);
  /// The first material of that name, or null.
  BaseMaterial* SearchMaterial(const String& name) const;
  RenderData* GetFirstRenderData() const { return static_cast<RenderData*>(renderData_.GetFirst()); }
  /// The render data in use (the first one unless another was made active).
  RenderData* GetActiveRenderData() const;
  void InsertRenderData(RenderData* rd, RenderData* pred = nullptr);
  void SetActiveRenderData(RenderData* rd);

  BaseTime GetTime() const { return time_; }
  void SetTime(const BaseTime& t) { time_ = t; }
  LONG GetFps() const { return fps_; }
  void SetFps(LONG fps) { fps_ = fps; }
  BaseTime GetMinTime() const { return minTime_; }
  void SetMinTime(const BaseTime& t) { minTime_ = t; }
  BaseTime GetMaxTime() const { return maxTime_; }
  void SetMaxTime(const BaseTime& t) { maxTime_ = t; }
  /// The folder the document was saved in; empty while it was never saved.
  Filename GetDocumentPath() const { return path_; }
  void SetDocumentPath(const Filename& p) { path_ = p; }
  /// The document's file name.
  Filename GetDocumentName() const { return name_; }
  void SetDocumentName(const Filename& n) { name_ = n; }

  /// The view the user works in.
  BaseDraw* GetActiveBaseDraw() const;
  /// The view that renders go through (the stand-in has one view).
  BaseDraw* GetRenderBaseDraw() const;
  /// Sets the animated parameters of `op` (only that node) to their values at `time`: the local
  /// matrix of an object with animation keys. Anything else, or a time that is not finite, is left
  /// alone. `flags` is not used by the stand-in.
  void AnimateObject(BaseList2D* op, const BaseTime& time, LONG flags);

  BaseDocument* GetDocument() const override { return const_cast<BaseDocument*>(this); }

  /// The list of the document's layers.
  GeListHead* GetLayerObjectRoot() { return &layers_; }
  // --- Selection: the `BIT_ACTIVE` bits of objects, tags and materials -------------------

  /// The first selected object in tree order, or null.
  BaseObject* GetActiveObject() const;
  /// The first selected tag (objects in tree order, tags in list order), or null.
  BaseTag* GetActiveTag() const;
  /// The first selected material, or null.
  BaseMaterial* GetActiveMaterial() const;
  /// Appends the selected objects in tree order; without `children`, objects below a selected
  /// object are left out.
  void GetActiveObjects(AtomArray& selection, Bool children) const;
  /// Appends the selected tags.
  void GetActiveTags(AtomArray& selection) const;
  /// Appends the selected materials.
  void GetActiveMaterials(AtomArray& selection) const;
  /// Appends the whole selection: objects, then tags, then materials.
  void GetSelection(AtomArray& selection) const;
  /// Selects `op` (null with `SELECTION_NEW`: deselects every object).
  void SetActiveObject(BaseObject* op, LONG mode = SELECTION_NEW);
  /// Selects `tag` (null with `SELECTION_NEW`: deselects every tag).
  void SetActiveTag(BaseTag* tag, LONG mode = SELECTION_NEW);
  /// Selects `mat` (null with `SELECTION_NEW`: deselects every material).
  void SetActiveMaterial(BaseMaterial* mat, LONG mode = SELECTION_NEW);

  // --- Undo ---------------------------------------------------------------------------

  /// Opens an undo step (nested calls open it once); true.
  Bool StartUndo();
  /// Closes the step opened by the matching `StartUndo`; false when none is open.
  Bool EndUndo();
  /// Records `data` (a `BaseList2D*`) in the open step: its state now for the change kinds, its
  /// insertion for `UNDOTYPE_NEW` (to be called after inserting), its place for `UNDOTYPE_DELETE`
  /// (to be called before removing; the step then owns the removed node). False without an open step,
  /// without a node or for another kind.
  Bool AddUndo(LONG type, void* data);
  /// Undoes the last closed step (entries in reverse order); false when there is none.
  Bool DoUndo(Bool multiple = FALSE);
  /// Marks the document as changed since it was last saved.
  void SetChanged();
  /// True once the document was changed.
  Bool GetChanged() const;

  /// Evaluates the document at its current time: animates every object when `animation`,
  /// rebuilds the caches of the generators (for the editor) when `caches`, runs the tags when
  /// `expressions`. False when `bt` asks for a break.
  Bool ExecutePasses(BaseThread* bt, Bool animation, Bool expressions, Bool caches, LONG flags);

 protected:
  BaseDocument();
  void FreeBranches() override;

 private:
  GeListHead objects_;
  GeListHead materials_;
  GeListHead renderData_;
  GeListHead views_;
  GeListHead layers_;
  BaseLink activeRenderData_;
  BaseTime time_;
  BaseTime minTime_;
  BaseTime maxTime_{3.0};
  LONG fps_ = 30;
  Filename path_;
  Filename name_{"Untitled 1"};
  std::shared_ptr<host::DocumentEdits> edits_;

 public:
  /// The host's record of undo steps and changes (host use).
  host::DocumentEdits& UndoRecord();
};

/// The document the user works on, or null.
BaseDocument* GetActiveDocument();
