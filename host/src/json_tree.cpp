// The document file's JSON tree: RapidJSON's streaming reader builds it chunk by chunk.
#include "json_tree.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <unordered_set>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

namespace host {
namespace json {

// --- Places ----------------------------------------------------------------------------

std::string Member(const std::string& ptr, const std::string& key) {
  std::string out = ptr + '/';
  for (char c : key) {
    if (c == '~')
      out += "~0";
    else if (c == '/')
      out += "~1";
    else
      out += c;
  }
  return out;
}

std::string Item(const std::string& ptr, size_t index) { return ptr + '/' + std::to_string(index); }

std::string Quoted(const std::string& s) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      switch (c) {
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
      }
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      // One UTF-8 sequence, or U+FFFD for a byte that starts none.
      size_t n = c >= 0xf0 && c < 0xf5 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 0;
      bool ok = n > 0 && i + n <= s.size();
      for (size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xc0) == 0x80;
      if (ok && n == 3) {
        const unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
        ok = !(c == 0xe0 && c1 < 0xa0) && !(c == 0xed && c1 >= 0xa0);
      } else if (ok && n == 4) {
        const unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
        ok = !(c == 0xf0 && c1 < 0x90) && !(c == 0xf4 && c1 >= 0x90);
      }
      if (ok) {
        out.append(s, i, n);
        i += n;
      } else {
        out += "\xef\xbf\xbd";
        ++i;
      }
    }
  }
  return out + '"';
}

// --- The packed table ------------------------------------------------------------------

namespace {

uint8_t KindCode(Kind k) { return k == Kind::Int ? 0 : k == Kind::Uint ? 1 : k == Kind::Real ? 2 : 3; }

bool Fits32(const Number& n) { return n.kind == Kind::Int && n.i >= INT32_MIN && n.i <= INT32_MAX; }

// Appends a row of `n` numbers to a layout of `stride` numbers a row, wide or not.
inline void PutRow(const Number* numbers, size_t n, size_t stride, bool wide, PodBuffer<uint8_t>& kinds,
                   PodBuffer<int32_t>& narrow, PodBuffer<uint64_t>& wideNumbers) {
  if (wide) {
    uint8_t code = 0;
    uint64_t bits[Table::kMaxRow] = {0, 0, 0, 0};
    for (size_t k = 0; k < n; ++k) {
      code = static_cast<uint8_t>(code | (KindCode(numbers[k].kind) << (2 * k)));
      std::memcpy(&bits[k], &numbers[k].u, sizeof bits[k]);
    }
    kinds.Append(code);
    wideNumbers.Append(bits, stride);
  } else {
    int32_t vals[Table::kMaxRow] = {0, 0, 0, 0};
    for (size_t k = 0; k < n; ++k) vals[k] = static_cast<int32_t>(numbers[k].i);
    narrow.Append(vals, stride);
  }
}

}  // namespace

void Table::Relayout(size_t stride, bool wide) {
  PodBuffer<uint8_t> kinds;
  PodBuffer<int32_t> narrow;
  PodBuffer<uint64_t> numbers;
  // Exactly the room the rows take: the old layout is still held meanwhile.
  const size_t rows = Rows();
  if (wide) {
    kinds.Reserve(rows);
    numbers.Reserve(rows * stride);
  } else {
    narrow.Reserve(rows * stride);
  }
  for (size_t r = 0; r < rows; ++r) {
    Number row[kMaxRow];
    const size_t length = std::min<size_t>(RowLength(r), kMaxRow);
    for (size_t k = 0; k < length; ++k) row[k] = At(r, k);
    PutRow(row, length, stride, wide, kinds, narrow, numbers);
  }
  kinds_.Swap(kinds);
  narrow_.Swap(narrow);
  numbers_.Swap(numbers);
  stride_ = stride;
  wide_ = wide;
}

inline void Table::Append(const Number* numbers, size_t n) {
  bool fits = true;
  for (size_t k = 0; k < n; ++k) fits = fits && Fits32(numbers[k]);
  if (n > stride_ || (!fits && !wide_)) Relayout(std::max(stride_, n), wide_ || !fits);
  PutRow(numbers, n, stride_, wide_, kinds_, narrow_, numbers_);
}

void Table::KeepText(size_t row, size_t k, std::string_view text) {
  textAt_.push_back(row * kMaxRow + k);
  texts_ += text;
  textEnd_.push_back(texts_.size());
}

void Table::AddRow(const Number* numbers, size_t n, const std::string* texts) {
  Append(numbers, n);
  for (size_t k = 0; texts && k < n; ++k)
    if (!texts[k].empty()) KeepText(lengths_.size(), k, texts[k]);
  lengths_.Append(static_cast<uint8_t>(n));
}

void Table::AddNumber(const Number& x, std::string_view text) {
  Append(&x, 1);
  if (!text.empty()) KeepText(count_, 0, text);
  ++count_;
}

std::string Table::Text(size_t row, size_t k) const {
  const auto at = std::lower_bound(textAt_.begin(), textAt_.end(), row * kMaxRow + k);
  if (at == textAt_.end() || *at != row * kMaxRow + k) return std::string();
  const size_t i = static_cast<size_t>(at - textAt_.begin());
  const size_t begin = i == 0 ? 0 : textEnd_[i - 1];
  return texts_.substr(begin, textEnd_[i] - begin);
}

// --- Views ---------------------------------------------------------------------------------

size_t Value::size() const {
  if (!node_) return kind_ == Kind::Array ? table_->RowLength(row_) : 0;
  if (node_->kind == Kind::Array) return node_->table ? node_->table->Rows() : node_->items.size();
  if (node_->kind == Kind::Object) return node_->members.size();
  return 0;
}

const Node* Value::Find(const char* key) const {
  if (kind_ != Kind::Object) return nullptr;
  for (const Field& m : node_->members)
    if (m.key == key) return &m.value;
  return nullptr;
}

Value Value::operator[](size_t i) const {
  if (node_ && !node_->table) return Value(node_->items[i]);
  Value v;
  if (node_ && !node_->table->Flat()) {
    v.table_ = node_->table.get();
    v.row_ = i;
    v.kind_ = Kind::Array;
  } else {
    // A number of a packed row, or of a flat table (a row of one).
    v.table_ = node_ ? node_->table.get() : table_;
    v.row_ = node_ ? i : row_;
    v.k_ = node_ ? 0 : i;
    v.number_ = v.table_->At(v.row_, v.k_);
    v.kind_ = v.number_.kind;
  }
  return v;
}

double Value::AsReal() const {
  const Number& n = number_;
  switch (kind_) {
    case Kind::Int: return static_cast<double>(n.i);
    case Kind::Uint: return static_cast<double>(n.u);
    case Kind::Real:
    case Kind::IntReal: return n.d;
    default: return 0.0;
  }
}

// --- Reading -------------------------------------------------------------------------------

namespace {

// RapidJSON's input: a file read in chunks, or text in memory. A NUL byte ends the input (and is
// remembered), and so does the byte beyond the size limit. Lines are counted chunk by chunk so that
// an error's offset can be named as line and column.
class Input {
 public:
  typedef char Ch;

  Input(const std::string& text, size_t limit) : limit_(limit) {
    begin_ = current_ = text.c_str();
    size_t n = text.size();
    if (const void* nul = std::memchr(begin_, 0, n)) {
      n = static_cast<size_t>(static_cast<const char*>(nul) - begin_);
      nulAt_ = n;
    }
    if (n > limit) {
      n = limit;
      tooLarge_ = true;
    }
    readCount_ = n;
    // The text's own terminating NUL (or the one found) ends it; past the limit a copy is cut.
    if (tooLarge_) {
      own_.assign(begin_, n);
      begin_ = current_ = own_.c_str();
    }
    last_ = begin_ + n;
    eof_ = true;
  }

  // Reads `f` from where it stands: offsets, lines and columns count from there.
  Input(std::FILE* f, size_t limit) : file_(f), start_(std::ftell(f)), limit_(limit), buffer_(kChunk + 1) {
    begin_ = current_ = last_ = buffer_.data();
    buffer_[0] = '\0';
    Fill();
  }

  Ch Peek() const { return *current_; }
  RAPIDJSON_FORCEINLINE Ch Take() {
    Ch c = *current_;
    if (current_ + 1 < last_) {
      ++current_;
    } else if (current_ < last_) {
      ++current_;
      if (!eof_) Fill();
    }
    return c;
  }
  size_t Tell() const { return count_ + static_cast<size_t>(current_ - begin_); }
  // The bytes read next, as far as they lie in memory: up to `End()`, where a NUL stands.
  const char* Here() const { return current_; }
  const char* End() const { return last_; }
  // Whether nothing follows `End()`.
  bool Last() const { return eof_; }
  // Moves past `n` bytes of those from `Here()` on, which end before `End()` or at the last `End()`.
  void Skip(size_t n) { current_ += n; }
  // Unused by the reader, which does not write in place.
  Ch* PutBegin() { return nullptr; }
  void Put(Ch) {}
  void Flush() {}
  size_t PutEnd(Ch*) { return 0; }

  static constexpr size_t kNone = static_cast<size_t>(-1);
  // Whether the last \u escape read was the high half of a surrogate pair, whose low half the
  // reader takes next.
  bool highSurrogate = false;
  // Whether the reader stopped at a \u0000 escape.
  bool nulEscape = false;
  size_t NulAt() const { return nulAt_; }
  bool TooLarge() const { return tooLarge_; }
  bool ReadFailed() const { return readFailed_; }

  // "line L, column C" of the byte at `offset`; both count from 1, columns in bytes.
  std::string Position(size_t offset) {
    size_t lines = lines_, lineStart = lineStart_;
    if (offset < count_ && !Recount(offset, &lines, &lineStart)) return "byte " + std::to_string(offset + 1);
    if (offset >= count_) {
      const size_t end = std::min(offset - count_, readCount_);
      for (size_t i = 0; i < end; ++i) {
        if (begin_[i] == '\n') {
          ++lines;
          lineStart = count_ + i + 1;
        }
      }
    }
    return "line " + std::to_string(lines + 1) + ", column " + std::to_string(offset - lineStart + 1);
  }

  // The byte at `offset` when it is still in memory, else -1.
  int ByteAt(size_t offset) const {
    if (offset < count_ || offset - count_ >= readCount_) return -1;
    return static_cast<unsigned char>(begin_[offset - count_]);
  }

 private:
  static constexpr size_t kChunk = size_t(1) << 20;

  void Fill() {
    // Lines of the chunk that was read to its end.
    for (size_t i = 0; i < readCount_; ++i) {
      if (begin_[i] == '\n') {
        ++lines_;
        lineStart_ = count_ + i + 1;
      }
    }
    count_ += readCount_;
    size_t n = std::fread(buffer_.data(), 1, kChunk, file_);
    if (n < kChunk && std::ferror(file_)) readFailed_ = true;
    if (const void* nul = std::memchr(buffer_.data(), 0, n)) {
      n = static_cast<size_t>(static_cast<const char*>(nul) - buffer_.data());
      nulAt_ = count_ + n;
    }
    if (count_ + n > limit_) {
      n = limit_ - count_;
      tooLarge_ = true;
    }
    readCount_ = n;
    begin_ = current_ = buffer_.data();
    last_ = begin_ + n;
    buffer_[n] = '\0';
    if (n < kChunk || nulAt_ != kNone || tooLarge_ || readFailed_) eof_ = true;
  }

  // Counts the lines before `offset` from the input's start again; false where it cannot seek.
  bool Recount(size_t offset, size_t* lines, size_t* lineStart) {
    if (!file_ || start_ < 0) return false;
    struct stat st;
    if (fstat(fileno(file_), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const long keep = std::ftell(file_);
    if (keep < 0 || std::fseek(file_, start_, SEEK_SET) != 0) return false;
    std::vector<char> buf(65536);
    size_t at = 0;
    *lines = 0;
    *lineStart = 0;
    while (at < offset) {
      size_t n = std::fread(buf.data(), 1, std::min(buf.size(), offset - at), file_);
      if (n == 0) break;
      for (size_t i = 0; i < n; ++i) {
        if (buf[i] == '\n') {
          ++*lines;
          *lineStart = at + i + 1;
        }
      }
      at += n;
    }
    std::fseek(file_, keep, SEEK_SET);
    return at == offset;
  }

  std::FILE* file_ = nullptr;
  long start_ = 0;  // where the input begins in `file_`
  size_t limit_;
  std::vector<char> buffer_;
  std::string own_;
  const char* begin_ = nullptr;
  const char* current_ = nullptr;
  const char* last_ = nullptr;  // one past the last byte of the chunk (a NUL stands there)
  size_t readCount_ = 0;
  size_t count_ = 0;      // bytes before the chunk
  size_t lines_ = 0;      // line breaks before the chunk
  size_t lineStart_ = 0;  // offset of the first byte after the last of them
  size_t nulAt_ = kNone;
  bool eof_ = false;
  bool tooLarge_ = false;
  bool readFailed_ = false;
};

// Builds the tree from the reader's events.
class Builder {
 public:
  Builder(Input& in, int maxNesting) : in_(in), maxNesting_(static_cast<size_t>(maxNesting)) {}

  bool Null() { return Add(Node()); }
  bool Bool(bool b) {
    Node n;
    n.kind = Kind::Bool;
    n.b = b;
    return Add(std::move(n));
  }
  bool Int(int i) { return Integer(i); }
  bool Uint(unsigned u) { return Integer(u); }
  bool Int64(int64_t i) { return Integer(i); }
  bool Uint64(uint64_t u) {
    if (u <= static_cast<uint64_t>(INT64_MAX)) return Integer(static_cast<int64_t>(u));
    Number x;
    x.kind = Kind::Uint;
    x.u = u;
    return AddNumber(x);
  }
  bool Double(double d) {
    Number x;
    x.kind = Kind::Real;
    x.d = d;
    return AddNumber(x);
  }
  bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }
  // Reads the number that starts at `in` and adds it (adding never fails); false with `*code` and
  // `*offset` set when the text is no JSON number or one beyond the double range.
  bool ReadNumber(Input& in, rapidjson::ParseErrorCode* code, size_t* offset);
  bool String(const char* s, rapidjson::SizeType length, bool) {
    Node n;
    n.kind = Kind::String;
    n.text.assign(s, length);
    return Add(std::move(n));
  }
  bool StartObject() { return Open(Kind::Object); }
  bool Key(const char* s, rapidjson::SizeType length, bool) {
    Frame& f = stack_[depth_ - 1];
    std::string key(s, length);
    bool twice = false;
    if (f.keys) {
      twice = !f.keys->insert(key).second;
    } else {
      for (const Field& m : f.node.members) twice = twice || m.key == key;
      if (!twice && f.node.members.size() >= kHashFrom) {
        f.keys = std::make_unique<std::unordered_set<std::string>>();
        for (const Field& m : f.node.members) f.keys->insert(m.key);
        f.keys->insert(key);
      }
    }
    if (twice) {
      error_ = std::make_unique<ReadError>(ReadError{Member(Pointer(), key), "the key is given twice"});
      return false;
    }
    f.node.members.push_back(Field{std::move(key), Node()});
    return true;
  }
  bool EndObject(rapidjson::SizeType) { return Close(); }
  bool StartArray() { return Open(Kind::Array); }
  bool EndArray(rapidjson::SizeType) { return Close(); }

  Node& Root() { return root_; }
  const ReadError* Error() const { return error_.get(); }

 private:
  static constexpr size_t kHashFrom = 16;

  // An open array or object. An array keeps up to four numbers aside while nothing else came (it
  // may be a row of its parent's table), then packs them flat while only numbers come; or it packs
  // its own rows while only such arrays come.
  struct Frame {
    Node node;
    bool generic = false;
    size_t tupleLength = 0;
    Number tuple[Table::kMaxRow];
    std::string tupleText[Table::kMaxRow];  // of integers beyond 64 bits, the others empty
    unsigned texts = 0;                     // one bit for each text that is not empty
    std::unique_ptr<std::unordered_set<std::string>> keys;

    void ClearTuple() {
      for (size_t k = 0; texts != 0; ++k, texts >>= 1)
        if (texts & 1u) tupleText[k].clear();
      tupleLength = 0;
    }
  };

  static Node NumberNode(const Number& x, std::string_view text) {
    Node n;
    n.kind = x.kind;
    n.number = x;
    n.text.assign(text.data(), text.size());
    return n;
  }

  bool Integer(int64_t i) {
    Number x;
    x.kind = Kind::Int;
    x.i = i;
    return AddNumber(x);
  }

  // Items of `f` so far.
  static size_t Count(const Frame& f) {
    if (f.generic) return f.node.items.size();
    return f.node.table ? f.node.table->Rows() : f.tupleLength;
  }

  // The JSON pointer of the innermost open array or object.
  std::string Pointer() const {
    std::string ptr;
    for (size_t i = 0; i + 1 < depth_; ++i) {
      const Frame& f = stack_[i];
      ptr = f.node.kind == Kind::Array ? Item(ptr, Count(f)) : Member(ptr, f.node.members.back().key);
    }
    return ptr;
  }

  // Makes the items of `f` plain nodes.
  static void Materialize(Frame& f) {
    if (f.generic) return;
    f.generic = true;
    for (size_t k = 0; k < f.tupleLength; ++k) f.node.items.push_back(NumberNode(f.tuple[k], f.tupleText[k]));
    f.ClearTuple();
    if (std::unique_ptr<Table> t = std::move(f.node.table)) {
      f.node.items.reserve(t->Rows());
      for (size_t r = 0; r < t->Rows(); ++r) {
        if (t->Flat()) {
          f.node.items.push_back(NumberNode(t->At(r, 0), t->Text(r, 0)));
          continue;
        }
        Node row;
        row.kind = Kind::Array;
        for (size_t k = 0; k < t->RowLength(r); ++k)
          row.items.push_back(NumberNode(t->At(r, k), t->Text(r, k)));
        f.node.items.push_back(std::move(row));
      }
    }
  }

  bool Add(Node&& n) {
    if (depth_ == 0) {
      root_ = std::move(n);
      return true;
    }
    Frame& f = stack_[depth_ - 1];
    if (f.node.kind == Kind::Object) {
      f.node.members.back().value = std::move(n);
      return true;
    }
    Materialize(f);
    f.node.items.push_back(std::move(n));
    return true;
  }

  // Adds a number; `text` is that of an integer beyond 64 bits, empty for others.
  bool AddNumber(const Number& x, std::string_view text = std::string_view()) {
    if (depth_ > 0) {
      Frame& f = stack_[depth_ - 1];
      if (f.node.kind == Kind::Array && !f.generic && !f.node.table && f.tupleLength < Table::kMaxRow) {
        if (!text.empty()) {
          f.tupleText[f.tupleLength].assign(text.data(), text.size());
          f.texts |= 1u << f.tupleLength;
        }
        f.tuple[f.tupleLength++] = x;
        return true;
      }
    }
    return AddBeyondTuple(x, text);
  }

  // A number that no short array keeps aside: a flat table takes it, or it is a node.
  bool AddBeyondTuple(const Number& x, std::string_view text) {
    Frame* f = depth_ > 0 ? &stack_[depth_ - 1] : nullptr;
    if (f && f->node.kind == Kind::Array && !f->generic) {
      Table* t = f->node.table.get();
      if (!t) {
        // A fifth number: an array of numbers, kept packed however long it grows.
        f->node.table = std::make_unique<Table>(true);
        t = f->node.table.get();
        for (size_t k = 0; k < f->tupleLength; ++k) t->AddNumber(f->tuple[k], f->tupleText[k]);
        f->ClearTuple();
      }
      if (t->Flat()) {
        t->AddNumber(x, text);
        return true;
      }
    }
    return Add(NumberNode(x, text));
  }

  // Frames are kept for reuse: a mesh opens and closes millions of short arrays. A closed frame's
  // node was moved out (empty again) or never filled (a row of its parent's table).
  bool Open(Kind kind) {
    if (depth_ >= maxNesting_) {
      error_ = std::make_unique<ReadError>(
          ReadError{"parse error at " + in_.Position(in_.Tell() - 1),
                    "nesting deeper than " + std::to_string(maxNesting_) + " levels"});
      return false;
    }
    if (depth_ == stack_.size()) stack_.emplace_back();
    Frame& f = stack_[depth_++];
    f.node.kind = kind;
    f.generic = false;
    f.ClearTuple();
    f.keys.reset();
    return true;
  }

  bool Close() {
    Frame& f = stack_[--depth_];
    if (f.node.kind == Kind::Array && !f.generic && !f.node.table) {
      // A short array of numbers: a row of the parent's table where the parent allows.
      if (depth_ > 0) {
        Frame& p = stack_[depth_ - 1];
        if (p.node.kind == Kind::Array && !p.generic && p.tupleLength == 0 &&
            !(p.node.table && p.node.table->Flat())) {
          if (!p.node.table) p.node.table = std::make_unique<Table>(false);
          p.node.table->AddRow(f.tuple, f.tupleLength, f.texts ? f.tupleText : nullptr);
          return true;
        }
      }
      Materialize(f);
    }
    Node n = std::move(f.node);
    f.node = Node();
    return Add(std::move(n));
  }

  Input& in_;
  size_t maxNesting_;
  std::vector<Frame> stack_;
  size_t depth_ = 0;
  Node root_;
  std::unique_ptr<ReadError> error_;
  std::string numberText_;  // a number read across chunks
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number's text read straight from memory.
struct InMemory {
  const char* p;
  char Peek() const { return *p; }
  void Take() { ++p; }
};

// A number's text read byte by byte through the input and kept in `text`.
struct Copied {
  Input& in;
  std::string& text;
  char Peek() const { return in.Peek(); }
  void Take() { text += in.Take(); }
};

// What the JSON number grammar found: the bytes taken, or an error after `taken` bytes; whether
// the number is written as an integer (no fraction, no exponent); and for an integer of at most 64
// bits its magnitude.
struct Scan {
  size_t taken = 0;
  rapidjson::ParseErrorCode error = rapidjson::kParseErrorNone;
  bool minus = false;
  bool integral = true;
  bool exact = true;
  uint64_t magnitude = 0;
};

template <class Source>
size_t TakeDigits(Source& s) {
  size_t n = 0;
  for (; IsDigit(s.Peek()); ++n) s.Take();
  return n;
}

// Takes one JSON number from `s`.
template <class Source>
Scan ScanNumber(Source& s) {
  Scan r;
  if (s.Peek() == '-') {
    r.minus = true;
    s.Take();
    ++r.taken;
  }
  if (s.Peek() == '0') {
    s.Take();
    ++r.taken;
  } else if (s.Peek() >= '1' && s.Peek() <= '9') {
    for (; IsDigit(s.Peek()); ++r.taken) {
      const unsigned d = static_cast<unsigned>(s.Peek() - '0');
      if (r.magnitude > (UINT64_MAX - d) / 10) r.exact = false;
      if (r.exact) r.magnitude = r.magnitude * 10 + d;
      s.Take();
    }
  } else {
    r.error = rapidjson::kParseErrorValueInvalid;
    return r;
  }
  if (s.Peek() == '.') {
    r.exact = r.integral = false;
    s.Take();
    ++r.taken;
    const size_t n = TakeDigits(s);
    r.taken += n;
    if (n == 0) {
      r.error = rapidjson::kParseErrorNumberMissFraction;
      return r;
    }
  }
  if (s.Peek() == 'e' || s.Peek() == 'E') {
    r.exact = r.integral = false;
    s.Take();
    ++r.taken;
    if (s.Peek() == '+' || s.Peek() == '-') {
      s.Take();
      ++r.taken;
    }
    const size_t n = TakeDigits(s);
    r.taken += n;
    if (n == 0) r.error = rapidjson::kParseErrorNumberMissExponent;
  }
  return r;
}

// Whether the JSON number `text` (not all zeros) that lies beyond the double range lies above it
// rather than below. As 0.DDD times ten to a power, the number lies above when that power is
// positive.
bool AboveRange(const char* text, size_t length) {
  long long power = 0;
  bool significant = false, point = false;
  size_t i = text[0] == '-' ? 1 : 0;
  for (; i < length && text[i] != 'e' && text[i] != 'E'; ++i) {
    const char c = text[i];
    if (c == '.') {
      point = true;
    } else if (!point) {
      if (significant || c != '0') {
        significant = true;
        ++power;
      }
    } else if (!significant) {
      if (c == '0')
        --power;
      else
        significant = true;
    }
  }
  long long exponent = 0;
  bool negative = false;
  if (i < length) {
    ++i;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    for (; i < length && exponent < 1000000000000LL; ++i) exponent = exponent * 10 + (text[i] - '0');
  }
  return power + (negative ? -exponent : exponent) > 0;
}

// The JSON number grammar, read here instead of by RapidJSON: its own reading of long or extreme
// numbers is not exact. Integers within 64 bits stay integers; every other number is the nearest
// double (std::from_chars rounds correctly, whatever the length of the text). A negative zero is a
// real, so that it keeps its sign; a number below the smallest double reads as a zero of its sign.
// Written as an integer, -0 and an integer beyond 64 bits (with its text) are `Kind::IntReal`, so
// that where an integer is expected they read as 0 or are refused like other large integers.
// A number is read where it lies in memory, or copied when it runs on into the next chunk.
bool Builder::ReadNumber(Input& in, rapidjson::ParseErrorCode* code, size_t* offset) {
  const size_t start = in.Tell();
  InMemory direct{in.Here()};
  Scan r = ScanNumber(direct);
  const char* text = in.Here();
  if (direct.p < in.End() || in.Last()) {
    if (r.error == rapidjson::kParseErrorNone) in.Skip(r.taken);
  } else {
    numberText_.clear();
    Copied copied{in, numberText_};
    r = ScanNumber(copied);
    text = numberText_.data();
  }
  if (r.error != rapidjson::kParseErrorNone) {
    *code = r.error;
    *offset = start + r.taken;
    return false;
  }
  Number x;
  if (r.exact && !r.minus) {
    Uint64(r.magnitude);
    return true;
  } else if (r.exact && r.magnitude != 0 && r.magnitude <= uint64_t(1) << 63) {
    x.kind = Kind::Int;
    x.i = r.magnitude == uint64_t(1) << 63 ? INT64_MIN : -static_cast<int64_t>(r.magnitude);
    AddNumber(x);
    return true;
  }
  x.kind = r.integral ? Kind::IntReal : Kind::Real;
  if (std::from_chars(text, text + r.taken, x.d).ec == std::errc::result_out_of_range) {
    if (AboveRange(text, r.taken)) {
      *code = rapidjson::kParseErrorNumberTooBig;
      *offset = start;
      return false;
    }
    x.d = r.minus ? -0.0 : 0.0;
  }
  AddNumber(x, r.integral && x.d != 0.0 ? std::string_view(text, r.taken) : std::string_view());
  return true;
}

constexpr unsigned kReadFlags = rapidjson::kParseValidateEncodingFlag;

}  // namespace
}  // namespace json
}  // namespace host

namespace rapidjson {

// The document reader's numbers are read by its own `Builder::ReadNumber`.
template <>
template <>
void GenericReader<UTF8<>, UTF8<>, CrtAllocator>::ParseNumber<
    host::json::kReadFlags, host::json::Input, host::json::Builder>(host::json::Input& is,
                                                                    host::json::Builder& handler) {
  ParseErrorCode code = kParseErrorNone;
  size_t offset = 0;
  if (!handler.ReadNumber(is, &code, &offset)) RAPIDJSON_PARSE_ERROR(code, offset);
}

// The four digits of a \u escape. RapidJSON refuses a high surrogate without its low half but
// takes a low one alone; that is refused the same way here, at its escape. So is \u0000: the
// host's strings end at a NUL, which would cut the text short without a word.
template <>
template <>
unsigned GenericReader<UTF8<>, UTF8<>, CrtAllocator>::ParseHex4<host::json::Input>(host::json::Input& is,
                                                                                   size_t escapeOffset) {
  unsigned codepoint = 0;
  for (int i = 0; i < 4; i++) {
    const char c = is.Peek();
    const unsigned digit = c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
                           : c >= 'A' && c <= 'F' ? static_cast<unsigned>(c - 'A' + 10)
                           : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                                                  : 16u;
    if (digit == 16u) {
      RAPIDJSON_PARSE_ERROR_NORETURN(kParseErrorStringUnicodeEscapeInvalidHex, escapeOffset);
      return 0;
    }
    codepoint = codepoint << 4 | digit;
    is.Take();
  }
  if (codepoint == 0 && !is.highSurrogate) {
    is.nulEscape = true;
    RAPIDJSON_PARSE_ERROR_NORETURN(kParseErrorStringUnicodeEscapeInvalidHex, escapeOffset);
    return 0;
  }
  const bool low = codepoint >= 0xDC00 && codepoint <= 0xDFFF;
  if (low && !is.highSurrogate) {
    RAPIDJSON_PARSE_ERROR_NORETURN(kParseErrorStringUnicodeSurrogateInvalid, escapeOffset);
    return 0;
  }
  is.highSurrogate = codepoint >= 0xD800 && codepoint <= 0xDBFF;
  return codepoint;
}

}  // namespace rapidjson

namespace host {
namespace json {
namespace {

std::string Lowered(const char* text) {
  std::string s = text;
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z') s[0] = static_cast<char>(s[0] - 'A' + 'a');
  return s;
}

Node Read(Input& in, size_t maxBytes, int maxNesting) {
  Builder builder(in, maxNesting);
  rapidjson::Reader reader;
  const rapidjson::ParseResult result = reader.Parse<kReadFlags>(in, builder);
  if (const ReadError* e = builder.Error()) throw *e;
  if (in.ReadFailed()) throw ReadError{"", "cannot read the file"};
  const bool syntax = result.IsError() && result.Offset() < in.NulAt();
  if (!syntax && in.NulAt() != Input::kNone)
    throw ReadError{"parse error at " + in.Position(in.NulAt()), "a NUL byte in the document"};
  if (!syntax && in.TooLarge())
    throw ReadError{"", "the document is larger than the limit of " + std::to_string(maxBytes) + " bytes"};
  if (result.IsError()) {
    std::string problem = result.Code() == rapidjson::kParseErrorNumberMissFraction
                              ? "a number needs digits after its decimal point"
                          : result.Code() == rapidjson::kParseErrorNumberMissExponent
                              ? "a number needs digits in its exponent"
                              : Lowered(rapidjson::GetParseError_En(result.Code()));
    if (in.nulEscape) problem = "a NUL character (\\u0000) in a string";
    const int byte = in.ByteAt(result.Offset());
    if (result.Code() == rapidjson::kParseErrorStringEscapeInvalid && byte >= 0 && byte < 0x20) {
      static const char kHex[] = "0123456789ABCDEF";
      problem = std::string("control character U+00") + kHex[byte >> 4] + kHex[byte & 15] +
                " in a string must be escaped";
    }
    throw ReadError{"parse error at " + in.Position(result.Offset()), problem};
  }
  return std::move(builder.Root());
}

}  // namespace

Node ReadText(const std::string& text, size_t maxBytes, int maxNesting) {
  Input in(text, maxBytes);
  return Read(in, maxBytes, maxNesting);
}

Node ReadFile(std::FILE* f, size_t maxBytes, int maxNesting) {
  struct stat st;
  const long start = std::max(std::ftell(f), 0L);
  if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > start &&
      static_cast<uint64_t>(st.st_size - start) > maxBytes)
    throw ReadError{"", "the document is larger than the limit of " + std::to_string(maxBytes) + " bytes"};
  Input in(f, maxBytes);
  return Read(in, maxBytes, maxNesting);
}

}  // namespace json
}  // namespace host
