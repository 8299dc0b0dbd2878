// Tags: plug-in tags and the host's own data tags.
#pragma once

#include <memory>
#include <vector>

#include "c4d_baselist.h"

class BaseObject;
class TagData;

/// Host tag types.
enum {
  Tpoint = 5600,             ///< Point data of a polygon object.
  Tpolygon = 5604,           ///< Polygon data of a polygon object.
  Tphong = 5612,             ///< Smoothing settings.
  Ttexture = 5616,           ///< Material assignment with its projection.
  Tmotionblur = 5636,        ///< Motion blur marker.
  Tuvw = 5671,               ///< Texture coordinates per polygon.
  Tpolygonselection = 5673,  ///< A named selection of polygons.
};

/// Parameters of the phong tag (`Tphong`).
enum {
  PHONGTAG_PHONG_ANGLELIMIT = 1001,  ///< Bool: smooth only across edges below the angle (default off).
  PHONGTAG_PHONG_ANGLE = 1002,       ///< Real, the angle limit in radians (default 80 degrees).
  PHONGTAG_PHONG_USEEDGES = 1003,    ///< Bool: keep marked edges hard (this host marks none).
};

/// A tag on an object.
class BaseTag : public BaseList2D {
 public:
  /// A new tag of a host or registered plug-in type, or null for an unknown type.
  static BaseTag* Alloc(LONG type);
  /// Frees the tag (taking it off its object first).
  static void Free(BaseTag*& tag);
  BaseTag* GetNext() const { return static_cast<BaseTag*>(GeListNode::GetNext()); }
  BaseTag* GetPred() const { return static_cast<BaseTag*>(GeListNode::GetPred()); }
  /// The object that carries the tag, or null.
  BaseObject* GetObject() const;
  Bool IsInstanceOf(LONG id) const override { return id == Tbase || C4DAtom::IsInstanceOf(id); }

 protected:
  explicit BaseTag(LONG type) : BaseList2D(type) {}
};

/// A tag that holds an array of fixed-size elements (points, polygons, texture coordinates).
class VariableTag : public BaseTag {
 public:
  /// A data tag of `type` with `count` zeroed elements, or null for a type without data.
  static VariableTag* Alloc(LONG type, LONG count);
  /// Number of elements.
  LONG GetDataCount() const { return data_->count; }
  /// Size in bytes of the whole data array.
  LONG GetDataSize() const { return static_cast<LONG>(data_->bytes.size()); }
  /// Size in bytes of one element.
  LONG GetElementSize() const { return elementSize_; }
  const void* GetDataAddressR() const { return data_->bytes.data(); }
  void* GetDataAddressW() { return data_->bytes.data(); }
  /// Changes the number of elements (new ones are zero); false on a negative count.
  Bool Resize(LONG count);

 protected:
  VariableTag(LONG type, LONG elementSize, LONG count);

 private:
  friend struct HostTagData;  // lets the caches of render instances share their object's data
  struct Storage {
    LONG count = 0;
    std::vector<unsigned char> bytes;
  };
  LONG elementSize_;
  std::shared_ptr<Storage> data_ = std::make_shared<Storage>();
};

/// Texture coordinates of the four corners of one polygon.
struct UVWStruct {
  LVector a, b, c, d;
};

/// Texture coordinates, one `UVWStruct` per polygon.
class UVWTag : public VariableTag {
 public:
  /// A UVW tag for `count` polygons.
  static UVWTag* Alloc(LONG count);
  /// The coordinates of polygon `i` (zero when out of range).
  UVWStruct GetSlow(LONG i) const;
  /// Sets the coordinates of polygon `i` (ignored when out of range).
  void SetSlow(LONG i, const UVWStruct& uvw);

 private:
  explicit UVWTag(LONG count) : VariableTag(Tuvw, sizeof(UVWStruct), count) {}
};
