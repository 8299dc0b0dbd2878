// A compact JSON tree for the document file loader, read by RapidJSON's streaming reader. Arrays
// of numbers and arrays of short number arrays (points, polygons) are kept packed, a few bytes per
// number, so a large document costs about its own size in memory while it is loaded. Syntax
// errors, nesting beyond a bound, a key given twice, a NUL byte and input beyond a size limit are
// errors with a place.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host {
namespace json {

/// What a JSON value is. `IntReal` is a number written as an integer (no fraction, no exponent)
/// that no 64-bit integer holds as written: -0, and integers beyond 64 bits (which keep their text).
/// Both are held as the nearest double.
enum class Kind : uint8_t { Null, Bool, Int, Uint, Real, IntReal, String, Array, Object };

/// A growable array of plain values that grows in place where the allocator can (`realloc`).
template <class T>
class PodBuffer {
 public:
  PodBuffer() = default;
  PodBuffer(const PodBuffer&) = delete;
  PodBuffer& operator=(const PodBuffer&) = delete;
  ~PodBuffer() { std::free(data_); }
  size_t size() const { return size_; }
  const T& operator[](size_t i) const { return data_[i]; }
  T& operator[](size_t i) { return data_[i]; }
  /// Appends `n` values from `v`.
  void Append(const T* v, size_t n) {
    if (size_ + n > capacity_) Grow(size_ + n);
    for (size_t i = 0; i < n; ++i) data_[size_ + i] = v[i];
    size_ += n;
  }
  void Append(const T& v) { Append(&v, 1); }
  /// Makes room for `n` values in all, so that appending up to them allocates nothing.
  void Reserve(size_t n) {
    if (n > capacity_) Grow(n, false);
  }
  void Swap(PodBuffer& o) {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(capacity_, o.capacity_);
  }
  /// Gives the memory back.
  void Clear() {
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

 private:
  void Grow(size_t need, bool ahead = true) {
    size_t cap = !ahead ? need : capacity_ < 16 ? 16 : capacity_ + capacity_ / 2;
    if (cap < need) cap = need;
    void* p = std::realloc(data_, cap * sizeof(T));
    if (!p) throw std::bad_alloc();
    data_ = static_cast<T*>(p);
    capacity_ = cap;
  }
  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

/// One number as read: an integer (signed or, above the signed range, unsigned) or a real.
struct Number {
  Kind kind = Kind::Int;
  union {
    int64_t i;
    uint64_t u;
    double d;
  };
  Number() : i(0) {}
};

/// The items of an array whose items are all arrays of at most four numbers, or (flat) all
/// numbers: a flat table's rows are its numbers, each a row of one. Integers that fit in 32 bits
/// take four bytes until the first other number widens the table.
class Table {
 public:
  static constexpr size_t kMaxRow = 4;
  explicit Table(bool flat) : flat_(flat) {}
  /// Whether the items are numbers rather than arrays.
  bool Flat() const { return flat_; }
  size_t Rows() const { return flat_ ? count_ : lengths_.size(); }
  size_t RowLength(size_t row) const { return flat_ ? 1 : lengths_[row]; }
  Number At(size_t row, size_t k) const {
    Number n;
    if (wide_) {
      n.kind = static_cast<Kind>(kKinds[(kinds_[row] >> (2 * k)) & 3u]);
      n.u = numbers_[row * stride_ + k];
    } else {
      n.kind = Kind::Int;
      n.i = narrow_[row * stride_ + k];
    }
    return n;
  }
  /// The text of the integer beyond 64 bits at `row`, `k`; empty for any other number.
  std::string Text(size_t row, size_t k) const;
  /// Appends a row of `n` numbers (not flat); `texts`, where the row has integers beyond 64 bits,
  /// holds their texts (and empty ones for the other numbers).
  void AddRow(const Number* numbers, size_t n, const std::string* texts);
  /// Appends a number (flat), with its text when it is an integer beyond 64 bits.
  void AddNumber(const Number& x, std::string_view text);

 private:
  static constexpr uint8_t kKinds[4] = {static_cast<uint8_t>(Kind::Int), static_cast<uint8_t>(Kind::Uint),
                                        static_cast<uint8_t>(Kind::Real),
                                        static_cast<uint8_t>(Kind::IntReal)};
  // Appends a row of `n` numbers, widening the layout first where they need it.
  void Append(const Number* numbers, size_t n);
  // Lays every row out again with `stride` numbers, wide or not.
  void Relayout(size_t stride, bool wide);
  void KeepText(size_t row, size_t k, std::string_view text);
  bool flat_;
  size_t count_ = 0;  // flat only: the numbers
  size_t stride_ = 0;
  bool wide_ = false;
  PodBuffer<uint8_t> lengths_;   // not flat: the length of each row
  PodBuffer<uint8_t> kinds_;     // wide only, one per row: two bits per number (`kKinds`)
  PodBuffer<int32_t> narrow_;    // `stride_` per row
  PodBuffer<uint64_t> numbers_;  // wide only, `stride_` per row: the bits of each number
  std::vector<size_t> textAt_;   // where the integers beyond 64 bits stand (row x 4 + k), ascending,
  std::vector<size_t> textEnd_;  // and where their texts end in `texts_`
  std::string texts_;
};

struct Field;

/// One value of the tree.
struct Node {
  Kind kind = Kind::Null;
  bool b = false;
  Number number;
  std::string text;              ///< A string, or the text of an integer beyond 64 bits.
  std::vector<Node> items;       ///< An array's items (when `table` is null).
  std::unique_ptr<Table> table;  ///< A packed array's items.
  std::vector<Field> members;    ///< An object's members in file order.
};

/// A key of an object and its value.
struct Field {
  std::string key;
  Node value;
};

/// A read-only view of a node, or of a packed row or number inside a table.
class Value {
 public:
  Value(const Node& n)
      : node_(&n), kind_(n.kind), number_(n.number) {}  // NOLINT(google-explicit-constructor)
  Kind kind() const { return kind_; }
  bool IsNumber() const {
    return kind_ == Kind::Int || kind_ == Kind::Uint || kind_ == Kind::Real || kind_ == Kind::IntReal;
  }
  bool IsInteger() const { return kind_ == Kind::Int || kind_ == Kind::Uint; }
  /// Items of an array, members of an object, zero otherwise.
  size_t size() const;
  /// Item `i` of an array.
  Value operator[](size_t i) const;
  /// Member `key` of an object (searched from the front); null when absent or for no object.
  const Node* Find(const char* key) const;
  /// The node itself: null for the parts of a packed array.
  const Node* node() const { return node_; }
  /// The packed items of an array node, or null.
  const Table* table() const { return node_ ? node_->table.get() : nullptr; }
  bool AsBool() const { return node_ && node_->b; }
  int64_t AsInt() const { return number_.i; }
  uint64_t AsUint() const { return number_.u; }
  /// Any number as a real.
  double AsReal() const;
  const std::string& AsText() const { return node_->text; }
  /// For an `IntReal`, the text of an integer beyond 64 bits (empty for -0).
  std::string IntegerText() const {
    return node_ ? node_->text : table_ ? table_->Text(row_, k_) : std::string();
  }

 private:
  Value() = default;
  const Node* node_ = nullptr;
  const Table* table_ = nullptr;  // of a packed row or number
  size_t row_ = 0;
  size_t k_ = 0;  // a packed number's place in its row
  Kind kind_ = Kind::Null;
  Number number_;
};

/// Where a reading error lies and what it is. `place` is a JSON pointer or "parse error at line L,
/// column C"; it is empty when the error concerns the whole input.
struct ReadError {
  std::string place;
  std::string problem;
};

/// Reads the JSON text `text`; throws `ReadError`.
Node ReadText(const std::string& text, size_t maxBytes, int maxNesting);
/// Reads the JSON text of the open file `f` from where it stands (positions in errors count from
/// there); throws `ReadError`.
Node ReadFile(std::FILE* f, size_t maxBytes, int maxNesting);

/// The JSON pointer of member `key` of the value at `ptr`.
std::string Member(const std::string& ptr, const std::string& key);
/// The JSON pointer of item `index` of the array at `ptr`.
std::string Item(const std::string& ptr, size_t index);
/// `s` as a JSON string literal (bytes that are not UTF-8 become U+FFFD).
std::string Quoted(const std::string& s);

}  // namespace json
}  // namespace host
