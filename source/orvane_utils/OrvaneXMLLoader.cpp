#include "orvane_utils/OrvaneXMLLoader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "files/folder.h"
#include "utils/stringutils.h"

namespace Orvane {

namespace {

// The spare NUL bytes after the text: a UTF-8 lead byte makes TinyXML jump up
// to three bytes past the terminator.
const size_t kPadding = 8;

// The measuring pass: TinyXML's own reading of a document, without its
// recursion.
//
// TinyXML reads a document through TiXmlDocument::Parse, TiXmlElement::Parse
// and TiXmlElement::ReadValue; the two element functions call each other for
// every nested element, which is what overflows the stack. This pass runs
// those three functions as one loop with an explicit stack of open elements,
// line by line as TinyXML 2.6 has them. Every other decision is left to
// TinyXML's own code, called here on the same bytes: which node a '<' opens
// (Identify), where a text, a comment, a CDATA section, an unknown node, a
// declaration or an attribute ends (their Parse functions, entities and UTF-8
// lead bytes included), how names and white space are read, and which
// encoding a declaration selects. So the pass reaches exactly the elements
// TinyXML reaches, in the same nesting, and stops where TinyXML's reading
// stops.
//
// Nodes that TinyXML would keep are made and dropped at once; the pass costs
// about what TinyXML's own parse of the text costs. It derives from TiXmlNode only to reach TinyXML's
// tokenising functions; it is not itself part of any tree.
class Measure : public TiXmlNode {
 public:
  explicit Measure(const char* text_) : TiXmlNode(TINYXML_UNKNOWN), text(text_) {
    shape.max_depth = 0;
    shape.max_attributes = 0;
    shape.deepest_offset = std::string::npos;
    shape.attributes_offset = std::string::npos;
    shape.open_comment = std::string::npos;
    shape.nul_reference = std::string::npos;
    shape.utf8 = false;
  }

  // TiXmlDocument::Parse.
  void document() {
    const char* p = text;
    if (!*p) return;
    TiXmlEncoding encoding = TIXML_ENCODING_UNKNOWN;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    if (u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) encoding = TIXML_ENCODING_UTF8;
    shape.utf8 = encoding == TIXML_ENCODING_UTF8;
    p = SkipWhiteSpace(p, encoding);
    while (p && *p) {
      std::unique_ptr<TiXmlNode> node(Identify(p, encoding));
      if (!node) return;
      if (node->ToElement()) {
        p = element(p, encoding);
      } else {
        p = other(*node, p, encoding);
        const TiXmlDeclaration* declaration = node->ToDeclaration();
        if (encoding == TIXML_ENCODING_UNKNOWN && declaration) {
          const char* declared = declaration->Encoding();
          if (!*declared || StringEqual(declared, "UTF-8", true, TIXML_ENCODING_UNKNOWN) ||
              StringEqual(declared, "UTF8", true, TIXML_ENCODING_UNKNOWN))
            encoding = TIXML_ENCODING_UTF8;
          else
            encoding = TIXML_ENCODING_LEGACY;
          shape.utf8 = encoding == TIXML_ENCODING_UTF8;
        }
      }
      p = SkipWhiteSpace(p, encoding);
    }
  }

  OrvaneXMLLoader::Shape shape;

  // Where TiXmlDocument::Parse looks for its first node in text: after a byte order mark and white
  // space.
  static const char* firstNode(const char* text) {
    const unsigned char* u = reinterpret_cast<const unsigned char*>(text);
    const bool mark = u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF;
    return SkipWhiteSpace(text, mark ? TIXML_ENCODING_UTF8 : TIXML_ENCODING_UNKNOWN);
  }

  // TiXmlNode's interface; never called on a measure.
  void Print(FILE*, int) const override {}
  const char* Parse(const char*, TiXmlParsingData*, TiXmlEncoding) override { return nullptr; }
  TiXmlNode* Clone() const override { return nullptr; }
  bool Accept(TiXmlVisitor*) const override { return false; }
  void StreamIn(std::istream*, std::string*) override {}

 private:
  // Reads a node other than an element at p with TinyXML's own Parse. TinyXML
  // reads a comment without its end to the end of the text and says nothing;
  // the first such comment is noted.
  const char* other(TiXmlNode& node, const char* p, TiXmlEncoding encoding) {
    const char* const start = p;
    p = node.Parse(p, nullptr, encoding);
    // A declaration keeps its values as C strings, already cut: any reference in it is looked at.
    if (node.ToDeclaration()) {
      const char* const end = p ? p : start + std::strlen(start);
      for (const char* q = start; q < end && shape.nul_reference == std::string::npos; ++q)
        if (*q == '&' && readsAsNul(q, encoding)) noteNulReference(q);
    }
    static const size_t kShortest = std::strlen("<!---->");
    if (node.ToComment() && p && !*p && shape.open_comment == std::string::npos &&
        (static_cast<size_t>(p - start) < kShortest || std::memcmp(p - 3, "-->", 3) != 0))
      shape.open_comment = static_cast<size_t>(start - text);
    return p;
  }

  // TiXmlElement::Parse of the element at p and, through ReadValue, of
  // everything inside it. Returns what that Parse returns to the document
  // level. Wherever TinyXML would fail inside, every enclosing element fails
  // too (each checks what its child returned), so one null ends the lot.
  const char* element(const char* p, TiXmlEncoding encoding) {
    // The end tags of the elements whose content is being read.
    std::vector<std::string> open;
    for (;;) {
      // Entering TiXmlElement::Parse at p: TinyXML keeps the element in
      // its tree from here, even when reading it fails at once.
      const int depth = static_cast<int>(open.size()) + 1;
      shape.max_depth = std::max(shape.max_depth, depth);
      if (depth > OrvaneXMLLoader::MAX_ELEMENT_DEPTH) {
        shape.deepest_offset = static_cast<size_t>(p - text);
        return nullptr;
      }
      const char* const start = p;
      p = SkipWhiteSpace(p, encoding);
      if (!p || *p != '<') return nullptr;
      std::string name;
      p = ReadName(SkipWhiteSpace(p + 1, encoding), &name, encoding);
      if (!p || !*p) return nullptr;

      // The attributes, up to "/>" or ">".
      std::set<std::string> names;
      bool empty = false;
      for (;;) {
        p = SkipWhiteSpace(p, encoding);
        if (!p || !*p) return nullptr;
        if (*p == '/') {
          if (p[1] != '>') return nullptr;
          p += 2;
          empty = true;
          break;
        }
        if (*p == '>') {
          ++p;
          break;
        }
        TiXmlAttribute attribute;
        const char* const at = p;
        p = attribute.Parse(p, nullptr, encoding);
        if (attribute.ValueStr().find('\0') != std::string::npos)
          noteNulReference(attributeValue(at, encoding));
        if (!p || !*p) return nullptr;
        if (!names.insert(attribute.NameTStr()).second)
          return nullptr;  // TinyXML refuses a repeated attribute
        const int attributes = static_cast<int>(names.size());
        shape.max_attributes = std::max(shape.max_attributes, attributes);
        if (attributes > OrvaneXMLLoader::MAX_ATTRIBUTES_PER_ELEMENT &&
            shape.attributes_offset == std::string::npos)
          shape.attributes_offset = static_cast<size_t>(start - text);
      }
      if (!empty) open.push_back("</" + name);

      // Back in the content of the innermost open element (ReadValue),
      // either just after its start tag or after a child that ended.
      // The loop leaves for a nested element (the next turn of the outer
      // loop) or when the outermost element is done.
      bool child = false;
      while (!open.empty() && !child) {
        const char* withWhiteSpace = p;
        p = SkipWhiteSpace(p, encoding);
        while (p && *p) {
          if (*p != '<') {
            TiXmlText textNode("");
            const char* const at = TiXmlBase::IsWhiteSpaceCondensed() ? p : withWhiteSpace;
            p = textNode.Parse(at, nullptr, encoding);
            if (textNode.ValueStr().find('\0') != std::string::npos)
              noteNulReference(nulReference(at, '<', encoding));
          } else {
            if (StringEqual(p, "</", false, encoding)) break;
            std::unique_ptr<TiXmlNode> node(Identify(p, encoding));
            if (!node) return nullptr;
            if (node->ToElement()) {
              child = true;
              break;
            }
            p = other(*node, p, encoding);
          }
          withWhiteSpace = p;
          p = SkipWhiteSpace(p, encoding);
        }
        if (child) break;
        // ReadValue returned p: the end tag must follow.
        if (!p || !*p || !StringEqual(p, open.back().c_str(), false, encoding)) return nullptr;
        p = SkipWhiteSpace(p + open.back().size(), encoding);
        if (!p || *p != '>') return nullptr;
        ++p;
        open.pop_back();
      }
      if (!child) return p;
    }
  }

  // Whether TinyXML reads the entity or character reference at p (an '&') as characters that hold
  // a NUL: "&#0;", and the references whose number wraps to 0.
  static bool readsAsNul(const char* p, TiXmlEncoding encoding) {
    char value[4] = {1, 1, 1, 1};
    int length = 0;
    GetEntity(p, value, &length, encoding);
    return length > 0 && std::memchr(value, '\0', static_cast<size_t>(length)) != nullptr;
  }

  // The first reference from p on that reads as a NUL, stepping a character at a time as TinyXML's
  // ReadText does, up to `end` or the end of the text; null when there is none.
  static const char* nulReference(const char* p, char end, TiXmlEncoding encoding) {
    while (p && *p && *p != end) {
      if (*p == '&' && readsAsNul(p, encoding)) return p;
      char value[4] = {0, 0, 0, 0};
      int length = 0;
      p = GetChar(p, value, &length, encoding);
    }
    return nullptr;
  }

  // The first reference that reads as a NUL in the quoted value of the attribute at p, found as
  // TiXmlAttribute::Parse reads it: name, '=', quote.
  static const char* attributeValue(const char* p, TiXmlEncoding encoding) {
    std::string name;
    p = ReadName(SkipWhiteSpace(p, encoding), &name, encoding);
    p = p ? SkipWhiteSpace(p, encoding) : nullptr;
    if (!p || *p != '=') return nullptr;
    p = SkipWhiteSpace(p + 1, encoding);
    if (!p || (*p != '\'' && *p != '"')) return nullptr;
    return nulReference(p + 1, *p, encoding);
  }

  void noteNulReference(const char* at) {
    if (at && shape.nul_reference == std::string::npos) shape.nul_reference = static_cast<size_t>(at - text);
  }

  const char* text;
};

// "around line N" for a byte offset of text.
std::string lineOf(const std::string& text, size_t offset) {
  const size_t end = std::min(offset, text.size());
  return intToString(
      1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n')));
}

// Whether the error TinyXML located in doc stands without the cut at the first NUL byte of bytes
// (or at a reference read as a NUL): TinyXML makes the same error at the same place when it reads
// on, a NUL byte read as a blank. Otherwise the error came of the text ending early, and the fault
// is the NUL byte (or the reference).
bool faultBeforeNul(const std::string& bytes, const TiXmlDocument& doc) {
  std::string whole = bytes;
  std::replace(whole.begin(), whole.end(), '\0', ' ');
  const std::string text = OrvaneXMLLoader::prepare(whole);
  const OrvaneXMLLoader::Shape shape = OrvaneXMLLoader::measure(text.c_str());
  if (shape.max_depth > OrvaneXMLLoader::MAX_ELEMENT_DEPTH ||
      shape.max_attributes > OrvaneXMLLoader::MAX_ATTRIBUTES_PER_ELEMENT)
    return false;
  TiXmlDocument read;
  read.Parse(text.c_str());
  return read.Error() && read.ErrorId() == doc.ErrorId() && read.ErrorRow() == doc.ErrorRow() &&
         read.ErrorCol() == doc.ErrorCol();
}

// The words for `bytes` (prepared as `text`) when TinyXML would read no node of them: empty, white
// space only, or a first character after the white space that opens no markup. "" otherwise, also
// where the text ends at a NUL byte after white space (that byte is the fault).
std::string notXmlText(const std::string& bytes, const std::string& text) {
  if (bytes.empty()) return "the file is empty: not a material file";
  const char* const first = Measure::firstNode(text.c_str());
  if (first && *first)
    return *first == '<' ? std::string()
                         : "Not XML (the text does not start with \"<\"): not a material file.";
  return std::memchr(bytes.data(), '\0', bytes.size()) ? std::string()
                                                       : "Only white space, no XML: not a material file.";
}

}  // namespace

OrvaneXMLLoader::Place OrvaneXMLLoader::placeOf(const std::string& text, size_t offset, bool utf8,
                                                int tabSize) {
  // TiXmlParsingData::Stamp, on a text whose line endings are normalised.
  const size_t end = std::min(offset, text.size());
  int line = 0, column = 0;
  for (size_t i = 0; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++line;
      column = 0;
    } else if (c == '\t' && tabSize > 0) {
      column = (column / tabSize + 1) * tabSize;
    } else if (utf8 && c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBB &&
               static_cast<unsigned char>(text[i + 2]) == 0xBF) {
      i += 2;  // a byte order mark takes no column
    } else if (!utf8 || (c & 0xC0) != 0x80) {
      ++column;  // a UTF-8 character's continuation bytes take none
    }
  }
  return Place{line + 1, column + 1};
}

OrvaneXMLLoader::Shape OrvaneXMLLoader::measure(const char* text) {
  Measure pass(text);
  pass.document();
  return pass.shape;
}

std::string OrvaneXMLLoader::prepare(const std::string& bytes) {
  const char* p = bytes.data();
  const void* nul = std::memchr(p, '\0', bytes.size());
  const char* const end = nul ? static_cast<const char*>(nul) : p + bytes.size();
  std::string text;
  text.reserve(static_cast<size_t>(end - p) + kPadding);
  while (p < end) {
    const void* cr = std::memchr(p, '\r', static_cast<size_t>(end - p));
    if (!cr) {
      text.append(p, static_cast<size_t>(end - p));
      break;
    }
    const char* const at = static_cast<const char*>(cr);
    text.append(p, static_cast<size_t>(at - p));
    text.push_back('\n');
    p = at + 1;
    if (p < end && *p == '\n') ++p;
  }
  text.append(kPadding, '\0');
  return text;
}

bool OrvaneXMLLoader::parse(const std::string& bytes, TiXmlDocument& doc, std::string& error_out,
                            Place* place, std::string* fault_out) {
  doc.Clear();
  doc.ClearError();
  if (place) *place = Place{0, 0};
  if (fault_out) fault_out->clear();
  std::string text = prepare(bytes);
  // A text of which TinyXML reads no node at all (white space only, or one whose first character
  // opens no markup, such as a document file or an image) is no XML: said so, not as TinyXML's
  // "document empty" or the NUL byte an image holds.
  const std::string notXml = notXmlText(bytes, text);
  if (!notXml.empty()) {
    error_out = notXml;
    if (fault_out) *fault_out = notXml;
    doc.SetError(TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
    return false;
  }
  const Shape shape = measure(text.c_str());
  if (shape.max_depth > MAX_ELEMENT_DEPTH) {
    error_out = "Elements are nested more than " + intToString(MAX_ELEMENT_DEPTH) +
                " levels deep, around line " + lineOf(text, shape.deepest_offset) + ".";
    doc.SetError(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
    return false;
  }
  if (shape.max_attributes > MAX_ATTRIBUTES_PER_ELEMENT) {
    error_out = "An element has more than " + intToString(MAX_ATTRIBUTES_PER_ELEMENT) +
                " attributes, around line " + lineOf(text, shape.attributes_offset) + ".";
    doc.SetError(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
    return false;
  }
  // A character reference read as a NUL character would cut the text or value it stands in: the
  // text ends there, as at a NUL byte, and the reference is the fault.
  bool cut = std::memchr(bytes.data(), '\0', bytes.size()) != nullptr;
  std::string reference;  // the reference read as a NUL, when the text is cut there
  if (shape.nul_reference != std::string::npos) {
    const size_t end = text.find(';', shape.nul_reference);
    reference =
        text.substr(shape.nul_reference, end == std::string::npos ? 2 : end + 1 - shape.nul_reference);
    text.resize(shape.nul_reference);
    text.append(kPadding, '\0');
    cut = true;
  }
  doc.Parse(text.c_str());
  // TinyXML gives no place where its reading ran off the end of the text, and no error at all
  // for a comment left open at the top level or for the bytes after a NUL byte. A fault at the
  // end of the text is the NUL byte (or reference), else an open comment, else TinyXML's own; so
  // is a fault that only the text's ending at the NUL byte made.
  if (!doc.Error() && !cut && shape.open_comment == std::string::npos) return true;
  Place at{doc.ErrorRow(), doc.ErrorCol()};
  const Place end = placeOf(text, text.size() - kPadding, shape.utf8, doc.TabSize());
  const bool located = doc.Error() && at.line > 0;
  const bool atEnd = !located || (at.line == end.line && at.column == end.column);
  int fault = 0;
  if (cut && (atEnd || !faultBeforeNul(bytes, doc)))
    fault = TiXmlBase::TIXML_ERROR_EMBEDDED_NULL;
  else if (atEnd && shape.open_comment != std::string::npos)
    fault = TiXmlBase::TIXML_ERROR_PARSING_COMMENT;
  else if (!located && doc.Error())
    fault = doc.ErrorId();
  if (fault != 0) {
    doc.ClearError();
    doc.SetError(fault, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
    // An empty document has no place of fault.
    at = fault == TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY ? Place{0, 0} : end;
  } else if (!doc.Error()) {
    return true;
  }
  if (place) *place = at;
  // TinyXML's words for a NUL would hide a reference to one: that is named.
  std::string description = fault == TiXmlBase::TIXML_ERROR_EMBEDDED_NULL && !reference.empty()
                                ? "A character reference to NUL (" + reference + ") is not allowed."
                                : std::string(doc.ErrorDesc());
  if (fault_out) *fault_out = description;
  if (!description.empty() && description.back() == '.') description.pop_back();
  error_out = "Not well-formed XML: " + description;
  if (at.line > 0)
    error_out += " (around line " + intToString(at.line) + ", column " + intToString(at.column) + ")";
  error_out += ".";
  return false;
}

OrvaneXMLLoader::LoadResult OrvaneXMLLoader::loadFile(const std::string& path, TiXmlDocument& doc,
                                                      std::string& error_out, Place* place,
                                                      std::string* fault_out) {
  if (place) *place = Place{0, 0};
  if (fault_out) fault_out->clear();
  std::string bytes;
  if (!readFile(path, bytes, error_out)) return LOAD_NOT_READ;
  return parse(bytes, doc, error_out, place, fault_out) ? LOAD_PARSED : LOAD_NOT_PARSED;
}

bool OrvaneXMLLoader::readFile(const std::string& path, std::string& bytes_out, std::string& error_out) {
  bytes_out.clear();
  error_out.clear();
  // Opened as every input file is: only a regular file, never waited on (a FIFO or a device could
  // wait for a writer for ever); in a shared folder another user's link is refused.
  int fd = -1;
  const files::Result opened = files::OpenFile(path, &fd);
  if (!opened.ok()) {
    error_out = opened.reason() == files::Reason::kNotRegularFile || opened.error() == EISDIR
                    ? "Not a regular file."
                    : "Cannot open the file: " + opened.Text() + ".";
    return false;
  }
  // Read to the end, not to the size of the moment: the file may grow.
  const files::Result read = files::ReadAll(fd, &bytes_out, MAX_FILE_BYTES, path);
  if (read.error() == EFBIG)
    error_out = "The file is larger than " + intToString(static_cast<int>(MAX_FILE_BYTES >> 20)) + " MiB.";
  else if (!read.ok())
    error_out = "Cannot read the file: " + read.Text() + ".";
  ::close(fd);
  if (error_out.empty()) return true;
  bytes_out.clear();
  return false;
}

}  // namespace Orvane
