// The document traversal that rebuilds the object caches and calls back per object.
#pragma once

#include "c4d_baseobject.h"

class BaseDocument;
class BaseThread;

/// Flags of a cache rebuild: who the caches are built for.
enum {
  BUILDFLAGS_NONE = 0,              ///< The editor.
  BUILDFLAGS_INTERNALRENDERER = 2,  ///< The host's own renderer.
  BUILDFLAGS_EXTERNALRENDERER = 4,  ///< A renderer outside the host (an exporter).
};

/// What a generator is told while the host builds its cache.
class HierarchyHelp {
 public:
  HierarchyHelp(BaseDocument* doc, LONG buildflags, Real lod, BaseThread* thread)
      : doc_(doc), buildflags_(buildflags), lod_(lod), thread_(thread) {}
  /// The document whose caches are built.
  BaseDocument* GetDocument() const { return doc_; }
  /// `BUILDFLAGS_*` of this rebuild.
  LONG GetBuildFlags() const { return buildflags_; }
  /// Level of detail, 0 to 1.
  Real GetLOD() const { return lod_; }
  /// The thread the rebuild runs on, or null.
  BaseThread* GetThread() const { return thread_; }

 private:
  BaseDocument* doc_;
  LONG buildflags_;
  Real lod_;
  BaseThread* thread_;
};

/// A traversal of a document for a renderer: `Run` rebuilds the caches and calls `Do` for every
/// object in tree order (each object, then its deform cache or cache, then its children) until
/// `Do` answers false. A document without objects gets one call of `Do` with a null object.
/// Derive and implement the four callbacks.
class Hierarchy {
 public:
  /// Rebuilds the caches of `doc` for `buildflags` and walks it. `startdata` is the data handed to
  /// the top-level objects; `spline`, `lod` and `uselod` describe the wanted detail. False for a
  /// null document or when the thread was asked to break.
  Bool Run(BaseDocument* doc, Bool spline, Real lod, Bool uselod, LONG buildflags, void* startdata,
           BaseThread* thread);

  /// Makes the data of one level of the tree (null: none).
  virtual void* Alloc() = 0;
  /// Frees data made by `Alloc`.
  virtual void Free(void* data) = 0;
  /// Copies the data of a parent level into a child's new data.
  virtual void CopyTo(void* src, void* dst) = 0;
  /// One object with its global matrix; `controlobject` is true for an object whose cache stands
  /// for it. False ends the traversal.
  virtual Bool Do(void* data, BaseObject* op, const LMatrix& mg, Bool controlobject) = 0;

 protected:
  Hierarchy() = default;
  ~Hierarchy() = default;
  Hierarchy(const Hierarchy&) = default;
  Hierarchy& operator=(const Hierarchy&) = default;
};
