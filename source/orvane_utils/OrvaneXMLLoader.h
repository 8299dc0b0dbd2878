// OrvaneXMLLoader: reads untrusted material XML text into a TinyXML document
// without handing TinyXML what it cannot take safely.
//
// TinyXML parses nested elements by recursion, so a deeply nested text
// overflows the stack, and it checks each new attribute against all earlier
// ones of its element, so an element with very many attributes takes
// quadratic time. Before TinyXML sees the text, the loader measures the
// deepest nesting and the largest attribute count TinyXML will meet, and
// refuses a text beyond the limits. The measure is TinyXML's own reading: its
// element parsing run as a loop instead of a recursion, with every token
// (entities, comments, CDATA, declarations, unknown nodes, attributes,
// encodings) read by TinyXML's own functions, so the two cannot disagree. It also ends the text with spare
// NUL bytes, since TinyXML may step a few bytes past the terminator after a truncated UTF-8 sequence.
//
// Line endings are normalised as TiXmlDocument::LoadFile does (CR LF and a
// lone CR become LF) and the text ends at its first NUL byte, so a text loaded
// here reads exactly as the same bytes loaded from a file by TinyXML. What
// TinyXML lets pass silently is an error here all the same: a NUL byte (the
// bytes after it are never read), a character reference that TinyXML reads as
// a NUL character ("&#0;", which would cut the text or attribute value it
// stands in; the text is read as ending there, as at a NUL byte, and the
// reference is named at its place) and a comment
// left open at the top level.
// Every error has a place: where TinyXML gives none (its reading ran off the
// end of the text), the end of the text, which is the NUL byte if there is one.
#pragma once

#include <string>

#include <tinyxml.h>

namespace Orvane {

class OrvaneXMLLoader {
 public:
  // The deepest element nesting accepted; a material file needs about ten.
  static constexpr int MAX_ELEMENT_DEPTH = 256;
  // The most attributes accepted on one element; material files use none.
  static constexpr int MAX_ATTRIBUTES_PER_ELEMENT = 256;

  // What the measuring pass found in a text.
  struct Shape {
    int max_depth;             // deepest element nesting TinyXML would reach
    int max_attributes;        // most attributes TinyXML would read on one element
    size_t deepest_offset;     // byte offset of the first element past MAX_ELEMENT_DEPTH, if any
    size_t attributes_offset;  // byte offset of the first element past MAX_ATTRIBUTES_PER_ELEMENT, if any
    size_t open_comment;       // byte offset of a comment that runs to the end of the text, if any
    size_t nul_reference;      // byte offset of the first character reference TinyXML reads as a NUL, if any
    bool utf8;                 // TinyXML reads the text as UTF-8 (a byte order mark or the declaration)
  };

  // A place in a text as TinyXML counts it in its messages: 1-based line and
  // column, a tab advancing to the next multiple of the tab size, a UTF-8
  // character one column in a UTF-8 text (a byte order mark none).
  struct Place {
    int line;
    int column;
  };

  // The place of the byte at offset in text (a text made by prepare()).
  static Place placeOf(const std::string& text, size_t offset, bool utf8, int tabSize);

  // Measures text, which must be NUL-terminated and followed by at least
  // four further NUL bytes, as TinyXML's TiXmlDocument::Parse reads it. Both
  // counts are exactly what TinyXML's tree would hold. The pass stops at the
  // first element nested deeper than MAX_ELEMENT_DEPTH (max_depth is then
  // MAX_ELEMENT_DEPTH + 1), where TinyXML would go on recursing.
  static Shape measure(const char* text);

  // The text that parse() hands TinyXML: bytes up to the first NUL, line
  // endings normalised, followed by spare NUL bytes.
  static std::string prepare(const std::string& bytes);

  // Parses bytes into doc (which is cleared first). Returns true when TinyXML
  // read the whole text without error. Returns false with a message in
  // error_out when the text is refused before parsing (doc then stays empty)
  // or is not well-formed (doc then holds what was read before the fault, and
  // doc.ErrorDesc() says what the fault is). When the text is refused before
  // parsing, doc.Error() is true as well. place (when given) is where the
  // fault is; line 0 when there is none, or none to give (a text refused
  // before parsing, an empty document). fault_out (when given) gets the
  // fault in words without its place, ending in a full stop as TinyXML's do
  // (a reference read as a NUL is named, not TinyXML's words for a NUL). A
  // text that holds no XML at all (empty, white space only, or not starting
  // with "<") is said to be none, doc.ErrorId() being
  // TIXML_ERROR_DOCUMENT_EMPTY.
  static bool parse(const std::string& bytes, TiXmlDocument& doc, std::string& error_out,
                    Place* place = nullptr, std::string* fault_out = nullptr);

  // The largest file loadFile() reads.
  static constexpr size_t MAX_FILE_BYTES = size_t(256) << 20;

  // What loadFile() made of a file.
  enum LoadResult {
    LOAD_PARSED,      // read and parsed without error
    LOAD_NOT_PARSED,  // read, but refused or not well-formed (doc.Error() is true)
    LOAD_NOT_READ     // not opened, not a regular file, too large or not read (doc untouched)
  };

  // Reads the regular file at path and parses its bytes as parse() does:
  // the one way every XML file this system reads reaches TinyXML. The
  // message of a failure goes to error_out, the place of a fault to place.
  static LoadResult loadFile(const std::string& path, TiXmlDocument& doc, std::string& error_out,
                             Place* place = nullptr, std::string* fault_out = nullptr);

  // Reads the bytes of the regular file at path (at most MAX_FILE_BYTES) into
  // bytes_out, as loadFile() does before parsing, opened as every input file
  // is (files/folder.h: Folder::OpenFile). Anything else (a folder, a FIFO, a
  // device) is refused, and the open never waits for a writer; in a shared
  // folder a file of another user is refused, with its owner named. Returns
  // false with the reason in error_out (bytes_out then empty).
  static bool readFile(const std::string& path, std::string& bytes_out, std::string& error_out);

 private:
  OrvaneXMLLoader() = delete;
};

}  // namespace Orvane
