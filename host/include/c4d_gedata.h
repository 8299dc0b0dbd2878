// Typed values and parameter containers.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "c4d_string.h"
#include "c4d_vector.h"

class BaseContainer;
class BaseDocument;
class BaseList2D;
class BaseObject;
class C4DAtomGoal;
namespace host {
struct LinkAnchor;
}

/// Value types a `GeData` can hold.
enum {
  DA_NIL = 0,        ///< Nothing.
  DA_LONG = 1,       ///< 32-bit integer; also the type of booleans.
  DA_REAL = 2,       ///< Real number.
  DA_TIME = 3,       ///< `BaseTime`.
  DA_VECTOR = 4,     ///< `LVector`.
  DA_MATRIX = 5,     ///< `LMatrix`.
  DA_STRING = 6,     ///< `String`.
  DA_FILENAME = 7,   ///< `Filename`.
  DA_CONTAINER = 8,  ///< Nested `BaseContainer`.
  DA_ALIASLINK = 9,  ///< Weak link to a node.
};

/// Data of a custom type that a `GeData` can hold (a bitmap button, ...); the value's type is
/// then the custom type's ID.
class CustomDataType {
 public:
  virtual ~CustomDataType() = default;
  /// A copy of the data.
  virtual CustomDataType* Clone() const = 0;
  /// True when `o` holds the same data.
  virtual bool IsEqual(const CustomDataType& o) const = 0;
};

/// One typed value. Integer and real values convert into each other on reading (an integer read of
/// a real truncates); other mismatched reads give the type's zero value.
class GeData {
 public:
  GeData() = default;
  GeData(LONG v) : type_(DA_LONG), long_(v) {}          // NOLINT(google-explicit-constructor)
  GeData(Bool v) : type_(DA_LONG), long_(v ? 1 : 0) {}  // NOLINT
  GeData(int64_t v) = delete;
  GeData(Real v) : type_(DA_REAL), real_(v) {}                // NOLINT
  GeData(const LVector& v) : type_(DA_VECTOR), vector_(v) {}  // NOLINT
  GeData(const LMatrix& m);                                   // NOLINT
  GeData(const String& s);                                    // NOLINT
  GeData(const char* s);                                      // NOLINT
  GeData(const Filename& f);                                  // NOLINT
  GeData(const BaseTime& t);                                  // NOLINT
  GeData(const BaseContainer& bc);                            // NOLINT
  /// A value of custom type `type` holding a copy of `data`.
  GeData(LONG type, const CustomDataType& data);
  ~GeData();
  GeData(const GeData& o);
  GeData& operator=(const GeData& o);
  GeData(GeData&&) noexcept;
  GeData& operator=(GeData&&) noexcept;

  /// The held type (`DA_NIL` when empty).
  LONG GetType() const { return type_; }
  Bool GetBool() const { return GetLong() != 0; }
  LONG GetLong() const;
  Real GetReal() const;
  LVector GetVector() const { return type_ == DA_VECTOR ? vector_ : LVector(); }
  LMatrix GetMatrix() const;
  /// The text of a string or file name value.
  String GetString() const;
  Filename GetFilename() const { return Filename(GetString()); }
  BaseTime GetTime() const;
  /// The custom data when the value is of custom type `type`, else null.
  CustomDataType* GetCustomDataType(LONG type) const;
  /// The nested container, or null when the value is not one.
  BaseContainer* GetContainer() const;
  /// The linked node when it still exists and lies in `doc`; null otherwise. With `instanceof`
  /// non-zero the node must also be an instance of that type.
  BaseList2D* GetLink(const BaseDocument* doc, LONG instanceof = 0) const;

  /// Makes the value a link to `node` (null stores an empty link).
  void SetBaseList2D(BaseList2D* node);
  void SetLong(LONG v) { *this = GeData(v); }
  void SetReal(Real v) { *this = GeData(v); }
  void SetString(const String& s) { *this = GeData(s); }
  /// Empties the value.
  void SetNil() { *this = GeData(); }

  bool operator==(const GeData& o) const;
  bool operator!=(const GeData& o) const { return !(*this == o); }

 private:
  LONG type_ = DA_NIL;
  LONG long_ = 0;
  Real real_ = 0.0;
  LVector vector_;
  // The values of the rarer types live apart, so that a container of numbers stays compact.
  struct Heavy;
  struct HeavyDelete {
    void operator()(Heavy* h) const;
  };
  Heavy& MakeHeavy();
  std::unique_ptr<Heavy, HeavyDelete> heavy_;
};

/// An ordered list of (ID, value) entries: the parameter store of every node. The setters replace
/// the first entry of an ID or append one; a getter's default applies only when the ID is absent.
/// Pointers to entries stay valid until the next insertion or removal. A large container keeps an
/// index from ID to its first entry, so lookups do not grow with the number of entries.
class BaseContainer {
 public:
  explicit BaseContainer(LONG id = 0) : id_(id) {}

  LONG GetId() const { return id_; }
  void SetId(LONG id) { id_ = id; }
  /// Removes every entry.
  void FlushAll() {
    entries_.clear();
    index_.clear();
  }

  void SetBool(LONG id, Bool v) { SetData(id, GeData(v)); }
  void SetLong(LONG id, LONG v) { SetData(id, GeData(v)); }
  void SetReal(LONG id, Real v) { SetData(id, GeData(v)); }
  void SetVector(LONG id, const LVector& v) { SetData(id, GeData(v)); }
  void SetMatrix(LONG id, const LMatrix& m) { SetData(id, GeData(m)); }
  void SetString(LONG id, const String& s) { SetData(id, GeData(s)); }
  void SetFilename(LONG id, const Filename& f) { SetData(id, GeData(f)); }
  void SetTime(LONG id, const BaseTime& t) { SetData(id, GeData(t)); }
  void SetContainer(LONG id, const BaseContainer& bc) { SetData(id, GeData(bc)); }
  /// Stores a weak link to `node` (null stores an empty link).
  void SetLink(LONG id, BaseList2D* node);
  /// Replaces the first entry of `id` or appends one; returns the stored value.
  GeData* SetData(LONG id, const GeData& v);

  Bool GetBool(LONG id, Bool def = FALSE) const;
  LONG GetLong(LONG id, LONG def = 0) const;
  Real GetReal(LONG id, Real def = 0.0) const;
  LVector GetVector(LONG id, const LVector& def = LVector()) const;
  LMatrix GetMatrix(LONG id, const LMatrix& def = LMatrix()) const;
  String GetString(LONG id, const String& def = String()) const;
  Filename GetFilename(LONG id, const Filename& def = Filename()) const;
  BaseTime GetTime(LONG id, const BaseTime& def = BaseTime()) const;
  /// A copy of the nested container of `id` (an empty one when absent).
  BaseContainer GetContainer(LONG id) const;
  /// The nested container of `id` itself, or null.
  BaseContainer* GetContainerInstance(LONG id);
  const BaseContainer* GetContainerInstance(LONG id) const;
  /// The linked node of `id` if it still exists, lies in `doc` and (with `instanceof`) has that type.
  BaseList2D* GetLink(LONG id, const BaseDocument* doc, LONG instanceof = 0) const;
  /// The linked object of `id` if it still exists and lies in `doc`; null for anything else.
  BaseObject* GetObjectLink(LONG id, const BaseDocument* doc) const;
  /// The value of `id`, or an empty value.
  const GeData& GetData(LONG id) const;
  /// The first value of `id`, or null.
  const GeData* GetDataPointer(LONG id) const;
  GeData* GetDataPointer(LONG id);

  /// Appends an entry even when the ID is already present (menus hold many entries of one ID).
  GeData* InsData(LONG id, const GeData& v);
  /// Inserts an entry directly after the entry `last` (a pointer into this container); with a
  /// null or foreign `last` the entry goes first.
  GeData* InsDataAfter(LONG id, const GeData& v, const GeData* last);
  /// Removes the first entry of `id`; false when there is none.
  Bool RemoveData(LONG id);
  /// Removes the entry at `index`; false when out of range.
  Bool RemoveIndex(LONG index);
  /// Index of the first entry of `id`, or `NOTOK`.
  LONG FindIndex(LONG id) const;
  /// The ID at `index`, or `NOTOK` past the end.
  LONG GetIndexId(LONG index) const;
  /// The value at `index`, or null past the end.
  const GeData* GetIndexData(LONG index) const;
  GeData* GetIndexData(LONG index);
  /// Number of entries.
  LONG GetCount() const { return static_cast<LONG>(entries_.size()); }
  /// Copies every entry of `src` in, replacing entries of equal ID.
  void MergeContainer(const BaseContainer& src);

  bool operator==(const BaseContainer& o) const;
  bool operator!=(const BaseContainer& o) const { return !(*this == o); }

 private:
  struct Entry {
    LONG id;
    GeData value;
  };
  // Entries from which on the index is kept: below, a scan is as quick.
  static constexpr size_t kIndexFrom = 16;
  // Appends an entry and keeps the index.
  GeData* Append(LONG id, const GeData& v);
  // Builds the index afresh (after entries moved), or drops it for a small container.
  void Reindex();
  // Indexes the entry at `position` unless its ID is indexed already.
  void IndexAdd(LONG id, size_t position);

  LONG id_;
  std::vector<Entry> entries_;
  // ID -> position of its first entry (large containers only): an open-addressed table of
  // `id << 32 | position + 1`, 0 for a free slot, at most half full, one probe run per lookup.
  std::vector<uint64_t> index_;
};
