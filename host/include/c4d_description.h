// Descriptions: the parameter layout of a node (names, types, groups, cycles, visibility), loaded
// from the plug-in's description resources ("res/description/<name>.res").
#pragma once

#include <vector>

#include "c4d_baselist.h"

/// Value types of description entries (the `dtype` of an entry's `DescLevel`).
enum {
  DTYPE_NONE = 0,
  DTYPE_LONG = 1,            ///< Integer; with a cycle, a choice of values.
  DTYPE_REAL = 2,            ///< Real number.
  DTYPE_VECTOR = 4,          ///< Vector.
  DTYPE_STRING = 6,          ///< Text.
  DTYPE_FILENAME = 7,        ///< File name.
  DTYPE_BASELISTLINK = 133,  ///< Link to a node.
  DTYPE_GROUP = 20,          ///< A group holding other entries; carries no value.
  DTYPE_BOOL = 21,           ///< Check box.
  DTYPE_COLOR = 22,          ///< Colour (a vector).
  DTYPE_BUTTON = 23,         ///< Button; carries no value.
  DTYPE_SEPARATOR = 24,      ///< Separator line; carries no value.
};

/// Attributes of a description entry (IDs in its settings container).
enum {
  DESC_NAME = 1,         ///< String: the label.
  DESC_MIN = 3,          ///< Real: smallest value.
  DESC_MAX = 4,          ///< Real: largest value.
  DESC_STEP = 5,         ///< Real: step of the arrows.
  DESC_CYCLE = 6,        ///< Container: the cycle's values (IDs) with their labels (strings).
  DESC_PARENTGROUP = 7,  ///< Integer: the ID of the group the entry lies in (0: top level).
  DESC_HIDE = 15,        ///< Bool: the entry is hidden.
  DESC_CUSTOMGUI = 21,   ///< String: the symbol of the custom element that shows the parameter.
};

/// The settings a new description entry of value type `type` (`DTYPE_*`) starts with: the
/// stand-in's entries have no defaults, so the container is empty.
BaseContainer GetCustomDataTypeDefault(LONG type);

/// The description of a node: an ordered list of entries, each with an ID and a settings
/// container. Plug-ins load theirs in `NodeData::GetDDescription` and adjust the attributes.
class Description {
 public:
  /// A new empty description.
  static Description* Alloc() { return new Description; }
  static void Free(Description*& d) {
    delete d;
    d = nullptr;
  }

  /// Loads the description resource that plug-in `pluginid` was registered with; false when the
  /// plug-in is unknown, has no description or its resource cannot be read.
  Bool LoadDescription(LONG pluginid);
  /// Loads the description resource `name` from the plug-in's "res/description" folder.
  Bool LoadDescription(const String& name);
  /// The name of the loaded description ("" while none is loaded).
  String GetName() const { return name_; }

  /// The settings of the entry `id` (its first level), or null when there is none. `ar` is not
  /// used by the stand-in.
  BaseContainer* GetParameterI(const DescID& id, AtomArray* ar);
  /// The settings of the entry `id`, or null.
  const BaseContainer* GetParameter(const DescID& id) const;

  /// Replaces the entry `id` (matched by its first level) by one of `id` with `settings`, lying in
  /// the group `groupid`; appends it when the description has no such entry. False (nothing
  /// changed) for an empty ID.
  Bool SetParameter(const DescID& id, const BaseContainer& settings, const DescID& groupid);

  /// Number of entries.
  LONG GetCount() const { return static_cast<LONG>(entries_.size()); }
  /// The ID of entry `index` (with its type), or an empty ID when out of range.
  DescID GetIndexId(LONG index) const;
  /// The settings of entry `index`, or null when out of range.
  const BaseContainer* GetIndexSettings(LONG index) const;

  /// True when entry `id` exists and its hide attribute is set, or the group it lies in is hidden.
  Bool IsHidden(LONG id) const;

 private:
  struct Entry {
    DescID id;
    BaseContainer settings;
  };
  friend struct DescriptionReader;
  String name_;
  std::vector<Entry> entries_;
};
