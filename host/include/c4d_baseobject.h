// Objects of the scene.
#pragma once

#include <vector>

#include "c4d_basetag.h"

class BaseObject;
class HierarchyHelp;
class ObjectData;
namespace host {
void SetCache(BaseObject* generator, BaseObject* cache);
}

/// How an object is drawn in the views.
struct ObjectColorProperties {
  LONG usecolor = 0;       ///< 0: the type's default colour; otherwise `color` is used.
  LVector color{1, 1, 1};  ///< The display colour.
  Bool xray = FALSE;       ///< Drawn see-through.
};

/// One key of an object's animation: its local matrix at a time. (The stand-in's animation is a
/// single matrix track per object, linear between keys.)
struct MatrixKey {
  BaseTime time;
  LMatrix matrix;
};

/// Host object types.
enum {
  Opolygon = 5100,   ///< Polygon mesh.
  Olight = 5102,     ///< Light.
  Ocamera = 5103,    ///< Camera.
  Osky = 5105,       ///< Sky.
  Oinstance = 5126,  ///< The host's instance.
  Onull = 5140,      ///< Empty group object.
  Osphere = 5160,    ///< Sphere primitive.
  Oplane = 5168,     ///< Plane primitive (made as a polygon object by `GeneratePrimitive`).
};

/// Parameters every object has.
enum {
  ID_BASEOBJECT_RENDERMODE = 901,  ///< LONG, a `MODE_*` value; absent means `MODE_UNDEF`.
  ID_BASEOBJECT_EDITORMODE = 902,  ///< LONG, a `MODE_*` value for the editor; absent means `MODE_UNDEF`.
  ID_BASEOBJECT_ENABLED = 906,     ///< Bool; absent means enabled.
};

/// Render and editor visibility of an object.
enum {
  MODE_ON = 0,     ///< Rendered.
  MODE_OFF = 1,    ///< Not rendered.
  MODE_UNDEF = 2,  ///< As its parent.
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

  /// The object's display colour settings.
  void GetColorProperties(ObjectColorProperties* co) const {
    if (co) *co = color_;
  }
  void SetColorProperties(const ObjectColorProperties* co) {
    if (co) color_ = *co;
  }

  /// The keys of the object's animation, in time order (empty: not animated).
  const std::vector<MatrixKey>& GetMatrixKeys() const { return keys_; }
  /// Replaces the keys (sorted by time; of two keys at one time the later one is kept).
  void SetMatrixKeys(std::vector<MatrixKey> keys);

  /// Render visibility: `MODE_ON`, `MODE_OFF` or `MODE_UNDEF`.
  LONG GetRenderMode() const { return GetDataInstance()->GetLong(ID_BASEOBJECT_RENDERMODE, MODE_UNDEF); }
  void SetRenderMode(LONG mode) { GetDataInstance()->SetLong(ID_BASEOBJECT_RENDERMODE, mode); }
  /// Editor visibility: `MODE_ON`, `MODE_OFF` or `MODE_UNDEF`.
  LONG GetEditorMode() const { return GetDataInstance()->GetLong(ID_BASEOBJECT_EDITORMODE, MODE_UNDEF); }
  void SetEditorMode(LONG mode) { GetDataInstance()->SetLong(ID_BASEOBJECT_EDITORMODE, mode); }
  /// True when the object is enabled (a generator generates, a light shines).
  Bool GetDeformMode() const { return GetDataInstance()->GetBool(ID_BASEOBJECT_ENABLED, TRUE); }
  void SetDeformMode(Bool on) { GetDataInstance()->SetBool(ID_BASEOBJECT_ENABLED, on); }
  /// The generator's cache: the object tree it generated (owned by the generator), or null.
  BaseObject* GetCache(HierarchyHelp* hh = nullptr) const {
    (void)hh;
    return cache_;
  }
  /// The deformed form of the object (a deformed polygon object, or the top object of a
  /// generator's cache), owned by the object; or null.
  BaseObject* GetDeformCache() const { return deformCache_; }
  /// The generator whose cache holds this object (at any depth of the cache), or null. A cache
  /// lies in the generator's space: its top object's matrix is relative to the generator.
  BaseObject* GetCacheParent() const { return cacheParent_; }

  /// Centre of the object's bounding box, in its own coordinates: of the points of a polygon
  /// object, of the mesh of a primitive, of what a plug-in object's `GetDimension` reports; zero
  /// for other objects.
  LVector GetMp();
  /// Half the size of the object's bounding box per axis (see `GetMp`).
  LVector GetRad();

  Bool IsInstanceOf(LONG id) const override { return id == Obase || C4DAtom::IsInstanceOf(id); }

 protected:
  explicit BaseObject(LONG type) : BaseList2D(type), tags_(this) {}
  void FreeBranches() override;

 private:
  friend void host::SetCache(BaseObject* generator, BaseObject* cache);
  friend struct HostCaches;
  LMatrix ml_;
  GeListHead tags_;
  ObjectColorProperties color_;
  std::vector<MatrixKey> keys_;
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
  /// The smoothed normals of the object's phong tag: four per polygon, in corner order a, b, c, d
  /// (entry 4 i + k for corner k of polygon i; a triangle's fourth repeats its third). Each is
  /// the normalised sum of the normals of the polygons around its point that lie within the
  /// tag's angle limit of the corner's own polygon. A new array to release with `GeFree`; null
  /// without a phong tag, without polygons or when memory runs out.
  SVector* CreatePhongNormals() const;

 private:
  friend class BaseObject;
  PolygonObject();
  VariableTag* PointTag() const;
  VariableTag* PolygonTag() const;
};
