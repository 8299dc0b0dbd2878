// Objects of the scene.
#pragma once

#include "c4d_basetag.h"

class HierarchyHelp;
class ObjectData;

/// Host object types.
enum {
  Opolygon = 5100,   ///< Polygon mesh.
  Olight = 5102,     ///< Light.
  Ocamera = 5103,    ///< Camera.
  Osky = 5105,       ///< Sky.
  Oinstance = 5126,  ///< The host's instance.
  Onull = 5140,      ///< Empty group object.
  Osphere = 5160,    ///< Sphere primitive.
};

/// A scene object: matrix, tags, children.
class BaseObject : public BaseList2D {
 public:
  /// A new object of a host or registered plug-in type, or null for an unknown type.
  static BaseObject* Alloc(LONG type);
  /// Frees the object with its tags and children.
  static void Free(BaseObject*& op);

  BaseObject* GetNext() const { return static_cast<BaseObject*>(GeListNode::GetNext()); }
  BaseObject* GetPred() const { return static_cast<BaseObject*>(GeListNode::GetPred()); }
  BaseObject* GetUp() const { return static_cast<BaseObject*>(GeListNode::GetUp()); }
  BaseObject* GetDown() const { return static_cast<BaseObject*>(GeListNode::GetDown()); }

  /// Local matrix (relative to the parent).
  LMatrix GetMl() const { return ml_; }
  void SetMl(const LMatrix& m) { ml_ = m; }
  /// Global matrix.
  LMatrix GetMg() const;
  /// Sets the local matrix so that the global matrix becomes `m`.
  void SetMg(const LMatrix& m);
  LVector GetPos() const { return ml_.off; }
  void SetPos(const LVector& p) { ml_.off = p; }

  BaseTag* GetFirstTag() const { return static_cast<BaseTag*>(tags_.GetFirst()); }
  /// The `nr`-th tag of `type`, or null.
  BaseTag* GetTag(LONG type, LONG nr = 0) const;
  /// Inserts `tag` after `pred` (first when null).
  void InsertTag(BaseTag* tag, BaseTag* pred = nullptr);
  /// Allocates a tag of `type` and inserts it after `pred`; null for an unknown type.
  BaseTag* MakeTag(LONG type, BaseTag* pred = nullptr);
  /// Frees the `nr`-th tag of `type`.
  void KillTag(LONG type, LONG nr = 0);

  Bool IsInstanceOf(LONG id) const override { return id == Obase || C4DAtom::IsInstanceOf(id); }

  /// True while the object is enabled (the green check of generators, deformers and lights).
  Bool GetDeformMode() const { return enabled_; }
  void SetDeformMode(Bool enabled) { enabled_ = enabled; }

  /// The cache the host built for a generator (the hierarchy it stands for), or null.
  BaseObject* GetCache(HierarchyHelp* hh = nullptr) const;
  /// The deformed form of the object or of its cache, or null.
  BaseObject* GetDeformCache() const;
  /// For the top object of a cache: the generator whose cache it is; null otherwise.
  BaseObject* GetCacheParent() const { return cacheParent_; }
  /// The document the object lies in, also for objects inside a cache.
  BaseDocument* GetDocument() const override;

 protected:
  explicit BaseObject(LONG type) : BaseList2D(type), tags_(this) {}
  void FreeBranches() override;

 private:
  friend struct HostCaches;
  LMatrix ml_;
  GeListHead tags_;
  Bool enabled_ = true;
  BaseObject* cache_ = nullptr;
  BaseObject* deformCache_ = nullptr;
  BaseObject* cacheParent_ = nullptr;
};

/// One polygon: four point indices (c == d for a triangle).
struct CPolygon {
  LONG a = 0, b = 0, c = 0, d = 0;
  CPolygon() = default;
  CPolygon(LONG ia, LONG ib, LONG ic) : a(ia), b(ib), c(ic), d(ic) {}
  CPolygon(LONG ia, LONG ib, LONG ic, LONG id) : a(ia), b(ib), c(ic), d(id) {}
};

/// A polygon mesh. Its points and polygons live in its point and polygon tags.
class PolygonObject : public BaseObject {
 public:
  /// A mesh with `pcnt` points and `vcnt` polygons, all zero.
  static PolygonObject* Alloc(LONG pcnt, LONG vcnt);
  LONG GetPointCount() const;
  LONG GetPolygonCount() const;
  const LVector* GetPointR() const;
  LVector* GetPointW();
  const CPolygon* GetPolygonR() const;
  CPolygon* GetPolygonW();
  /// Changes the numbers of points and polygons (new ones are zero).
  Bool ResizeObject(LONG pcnt, LONG vcnt);

 private:
  friend class BaseObject;
  PolygonObject();
  VariableTag* PointTag() const;
  VariableTag* PolygonTag() const;
};
