// Selections of elements (points, polygons) by index, and the tag that keeps a named selection.
#pragma once

#include <utility>
#include <vector>

#include "c4d_basetag.h"

/// A set of non-negative element indices, kept as sorted segments of consecutive indices.
class BaseSelect {
 public:
  BaseSelect() = default;
  /// A new empty selection.
  static BaseSelect* Alloc() { return new BaseSelect; }
  static void Free(BaseSelect*& bs) {
    delete bs;
    bs = nullptr;
  }
  /// A new selection holding the same indices.
  BaseSelect* GetClone() const { return new BaseSelect(*this); }
  /// Makes `dest` hold the same indices; false for a null `dest`.
  Bool CopyTo(BaseSelect* dest) const;

  /// Number of selected indices.
  LONG GetCount() const;
  /// Number of segments.
  LONG GetSegments() const { return static_cast<LONG>(segments_.size()); }
  /// First and last index of segment `seg` (0 = lowest); false past the last segment.
  Bool GetRange(LONG seg, LONG* a, LONG* b) const;
  /// True when `num` is selected.
  Bool IsSelected(LONG num) const;

  /// Selects one index; false for a negative index.
  Bool Select(LONG num) { return SelectAll(num, num); }
  /// Deselects one index; true when it was selected.
  Bool Deselect(LONG num);
  /// Selects every index from `min` to `max` (nothing when max < min); false when min < 0.
  Bool SelectAll(LONG min, LONG max);
  /// Deselects everything.
  Bool DeselectAll() {
    segments_.clear();
    return true;
  }
  /// Inverts the selection of every index from `min` to `max`; false when min < 0.
  Bool ToggleAll(LONG min, LONG max);
  /// Adds every index of `src`; false for a null `src`.
  Bool Merge(const BaseSelect* src);
  /// Removes every index of `src`; false for a null `src`.
  Bool Deselect(const BaseSelect* src);
  /// True when both hold the same indices.
  Bool IsEqual(const BaseSelect* other) const { return other && segments_ == other->segments_; }

 private:
  using Segments = std::vector<std::pair<LONG, LONG>>;
  Segments segments_;
};

/// A polygon selection tag (type `Tpolygonselection`): a named selection of its object's polygons.
class SelectionTag : public BaseTag {
 public:
  /// A new selection tag of `type` with an empty selection; null for other types.
  static SelectionTag* Alloc(LONG type);
  static void Free(SelectionTag*& tag);
  /// The tag's selection, owned by the tag.
  BaseSelect* GetBaseSelect() { return &select_; }
  const BaseSelect* GetBaseSelect() const { return &select_; }

 private:
  explicit SelectionTag(LONG type) : BaseTag(type) {}
  BaseSelect select_;
};
