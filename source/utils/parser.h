#pragma once

#include <cstddef>
#include <string>

/// A forward-only cursor over a character buffer owned by the caller.
///
/// Reads decimal numbers, literals and simple tokens at the cursor and moves
/// past what it consumed. It never consults the locale and never skips
/// whitespace on its own: callers use parseWhiteSpace() between items and
/// eof() to test for the end. Whitespace is space, tab, line feed and carriage
/// return.
class Parser {
 public:
  /// Creates a cursor at position 0 over `textsize` characters at `text`.
  /// The buffer is not copied, need not be NUL-terminated and must outlive
  /// the parser.
  Parser(const char* text, size_t textsize);

  /// Does nothing; the buffer belongs to the caller.
  ~Parser();

  /// Reads a decimal floating-point number: optional sign, digits, optional
  /// '.' and digits, optional exponent ('e', 'E', 'd' or 'D', optional sign,
  /// digits). Returns true if at least one mantissa digit was read, the text
  /// did not end inside the exponent and the value lies within the double range
  /// (a number that overflows is consumed whole and refused; one that underflows
  /// reads as zero). On false the output must not be used.
  bool parseDouble(double& result_out);

  /// Like parseDouble(), then narrows the value to float; a value beyond the
  /// float range is refused (false, output untouched).
  bool parseFloat(float& result_out);

  /// Reads an optionally signed decimal integer. Returns false, with the
  /// output set to 0, when no digit follows or the value does not fit an int;
  /// in the overflow case the whole run of digits is consumed.
  bool parseInt(int& result_out);

  /// Consumes the literal `s` if the text continues with it; otherwise leaves
  /// the cursor where it was and returns false. An empty literal always matches.
  bool parseString(const std::string& s);

  /// Look-ahead without moving: true when an optional sign, zero or more
  /// digits and then a '.' follow the cursor.
  bool fractionalNumberNext();

  /// Reads the longest run of ASCII letters into `token_out` (cleared first).
  /// Returns false, consuming nothing, when no letter is at the cursor.
  bool parseAlphaToken(std::string& token_out);

  /// Reads the longest run of non-whitespace characters into `token_out`
  /// (cleared first). Returns false, consuming nothing, at whitespace or the end.
  bool parseNonWSToken(std::string& token_out);

  /// Advances over whitespace up to the next other character or the end.
  inline void parseWhiteSpace() {
    while (currentpos < textsize && isWhitespace(text[currentpos])) ++currentpos;
  }

  /// True when the cursor is at or beyond the end of the text.
  inline bool eof() const { return currentpos >= textsize; }

  /// Placeholder for in-library checks; performs none (the parser is covered
  /// by the test suite).
  static void doUnitTests();

 private:
  static inline bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

  const char* text;
  size_t currentpos;
  size_t textsize;
};
