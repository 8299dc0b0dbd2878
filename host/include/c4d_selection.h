// Selections of elements (points, polygons) and the tag that keeps a named polygon selection.
#pragma once

#include <set>

#include "c4d_basetag.h"

/// A set of selected element indices.
class BaseSelect {
 public:
  /// A new empty selection; free it with `Free`.
  static BaseSelect* Alloc() { return new BaseSelect; }
  static void Free(BaseSelect*& bs) { delete bs; bs = nullptr; }
  /// Number of selected elements.
  LONG GetCount() const { return static_cast<LONG>(selected_.size()); }
  /// Selects element `i` (negative indices are ignored).
  Bool Select(LONG i);
  /// Deselects element `i`.
  Bool Deselect(LONG i) { return selected_.erase(i) > 0; }
  /// True when element `i` is selected.
  Bool IsSelected(LONG i) const { return selected_.count(i) > 0; }
  /// Deselects everything.
  void DeselectAll() { selected_.clear(); }
  /// Copies the selection into `dest`.
  Bool CopyTo(BaseSelect* dest) const;

 private:
  std::set<LONG> selected_;
};

/// A polygon selection tag (type `Tpolygonselection`); texture tags refer to it by its name.
class SelectionTag : public BaseTag {
 public:
  /// A new empty selection tag of `type` (`Tpolygonselection`), or null for another type.
  static SelectionTag* Alloc(LONG type);
  /// Frees the tag (taking it off its object first).
  static void Free(SelectionTag*& tag);
  /// The selection the tag keeps (owned by the tag).
  BaseSelect* GetBaseSelect() { return &select_; }
  const BaseSelect* GetBaseSelect() const { return &select_; }

 private:
  explicit SelectionTag(LONG type) : BaseTag(type) {}
  BaseSelect select_;
};
