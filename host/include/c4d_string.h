// Text and file names.
#pragma once

#include <iosfwd>
#include <string>

#include "c4d_types.h"

/// Encodings for the conversion of a `String` to and from 8-bit text.
enum STRINGENCODING {
  STRINGENCODING_XBIT = 0,  ///< The host's 8-bit encoding, ISO-8859-1.
  STRINGENCODING_7BIT = 1,  ///< 7-bit ASCII; other characters become '?'.
  STRINGENCODING_UTF8 = 3,  ///< UTF-8.
};

/// The host's Unicode text. Characters are Unicode code points.
class String {
 public:
  String() = default;
  /// From UTF-8 text (every literal in the code is ASCII, which is UTF-8).
  String(const char* utf8);  // NOLINT(google-explicit-constructor)
  /// From UTF-8 text.
  String(const std::string& utf8);  // NOLINT(google-explicit-constructor)
  /// A string of `count` copies of `ch`.
  String(LONG count, UWORD ch);

  /// Number of characters.
  LONG GetLength() const { return static_cast<LONG>(text_.size()); }
  /// True when the string holds at least one character.
  Bool Content() const { return !text_.empty(); }
  /// The character at `pos` (0 when out of range).
  UWORD operator[](LONG pos) const;

  String operator+(const String& o) const;
  String& operator+=(const String& o);
  bool operator==(const String& o) const { return text_ == o.text_; }
  bool operator!=(const String& o) const { return text_ != o.text_; }
  bool operator<(const String& o) const { return text_ < o.text_; }

  /// `count` characters from `start` (clamped to the string).
  String SubStr(LONG start, LONG count) const;
  String Left(LONG count) const { return SubStr(0, count); }
  String Right(LONG count) const { return SubStr(GetLength() - count, count); }
  /// From `start` to the end, or `count` characters when count >= 0.
  String Mid(LONG start, LONG count = -1) const;
  /// First position of `s` at or after `start`; false when not found.
  Bool FindFirst(const String& s, LONG* pos, LONG start = 0) const;
  /// First position of `ch` at or after `start`; false when not found.
  Bool FindFirst(UWORD ch, LONG* pos, LONG start = 0) const;
  /// Last position of `s` that starts at or before `start` (-1: the end); false when not found.
  Bool FindLast(const String& s, LONG* pos, LONG start = -1) const;
  /// Last position of `ch` at or before `start` (-1: the end); false when not found.
  Bool FindLast(UWORD ch, LONG* pos, LONG start = -1) const;
  /// Removes `count` characters at `pos`.
  void Delete(LONG pos, LONG count);
  /// Inserts `s` before position `pos`.
  void Insert(LONG pos, const String& s);
  String ToUpper() const;
  String ToLower() const;

  /// The number the text starts with (leading blanks skipped); error set when there is none.
  LONG ToLong(Bool* error = nullptr) const;
  /// The real number of the text ('.' as the point); error set when there is none.
  Real ToReal(Bool* error = nullptr) const;
  /// Decimal text of an integer.
  static String LongToString(LONG v);
  /// Text of a real with `decimals` digits after the point (-1: as short as exact).
  static String RealToString(Real v, LONG digits = -1, LONG decimals = -1);

  /// Length in bytes of the text in `enc`, without a terminating zero.
  LONG GetCStringLen(STRINGENCODING enc = STRINGENCODING_XBIT) const;
  /// Writes the text in `enc` with a terminating zero into `buf` of `max` bytes (truncating).
  void GetCString(CHAR* buf, LONG max, STRINGENCODING enc = STRINGENCODING_XBIT) const;
  /// The text in `enc` as a new zero-terminated array; release it with `GeFree`.
  CHAR* GetCStringCopy(STRINGENCODING enc = STRINGENCODING_XBIT) const;
  /// Replaces the text with `count` bytes of `cstr` (-1: up to the zero) read in `enc`.
  void SetCString(const CHAR* cstr, LONG count = -1, STRINGENCODING enc = STRINGENCODING_XBIT);

  /// The code points (for the host's own use).
  const std::u32string& Data() const { return text_; }

 private:
  explicit String(std::u32string t) : text_(std::move(t)) {}
  std::u32string text_;
};

/// Releases memory handed out by the host (`GetCStringCopy`).
void GeFree(void* p);

/// Writes the string as UTF-8 (for test messages and logs).
std::ostream& operator<<(std::ostream& os, const String& s);

/// Kinds of the file chooser.
enum {
  FILESELECT_LOAD = 0,       ///< Choose an existing file.
  FILESELECT_SAVE = 1,       ///< Choose a file to write.
  FILESELECT_DIRECTORY = 2,  ///< Choose a folder.
};
/// File types the chooser offers.
enum { FILESELECTTYPE_ANYTHING = 0, FILESELECTTYPE_IMAGES = 1, FILESELECTTYPE_SCENES = 2 };

/// A file or directory path.
class Filename {
 public:
  Filename() = default;
  Filename(const String& path) : path_(path) {}  // NOLINT(google-explicit-constructor)
  Filename(const char* path) : path_(path) {}    // NOLINT(google-explicit-constructor)

  /// The whole path.
  String GetString() const { return path_; }
  void SetString(const String& path) { path_ = path; }
  /// True when the path is not empty.
  Bool Content() const { return path_.Content(); }
  /// The path without its last component ("" when there is none).
  Filename GetDirectory() const;
  /// The last component of the path.
  Filename GetFile() const;
  /// The text of the last component of the path.
  String GetFileString() const { return GetFile().GetString(); }
  /// Replaces the last component of the path with `file` (an empty path becomes `file`).
  void SetFile(const Filename& file);
  /// The suffix of the last component without the dot ("" when there is none).
  String GetSuffix() const;
  /// Replaces (or adds) the suffix of the last component; an empty suffix removes it.
  void SetSuffix(const String& suffix);
  /// Removes the suffix of the last component.
  void ClearSuffix() { SetSuffix(String()); }
  /// True when the suffix equals `suffix`, ignoring case.
  Bool CheckSuffix(const String& suffix) const;
  /// Joins a path component with one separator.
  Filename operator+(const Filename& component) const;
  Filename& operator+=(const Filename& component);
  /// Asks the user for a file or folder (`flags`: `FILESELECT_*`); false when cancelled.
  Bool FileSelect(LONG type, LONG flags, const String* title = nullptr);
  bool operator==(const Filename& o) const { return path_ == o.path_; }
  bool operator!=(const Filename& o) const { return path_ != o.path_; }

 private:
  String path_;
};
