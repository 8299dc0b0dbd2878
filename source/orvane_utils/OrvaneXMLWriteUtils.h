// OrvaneXMLWriteUtils.h: the layout helpers shared by the writeXML operations of
// the element model. Private to the element model.
//
// Layout: depth tab characters start every line; every line ends with one
// newline. Text (names, paths, UV set names, strings) is written with "&", "<"
// and ">" escaped, and shader text goes into CDATA with any "]]>" split across
// two sections, so that the output is always well-formed XML. Both replace the
// characters XML 1.0 does not allow (XMLText::allowedText) first. Numbers use the
// stream's flags and precision as the caller left them, but never its locale:
// the decimal point is always '.' and digits are never grouped, so a locale
// imbued by the caller cannot make the numbers unreadable. Booleans are the
// words "true" and "false".
#pragma once

#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "utils/reference.h"

namespace Orvane {
namespace XMLWriteUtils {

// A string of depth tab characters.
std::string indent(unsigned int depth);

// XMLText::allowedText(text) with "&", "<" and ">" replaced by "&amp;",
// "&lt;" and "&gt;".
std::string escapeText(const std::string& text);

// A CDATA section holding XMLText::allowedText(text): "<![CDATA[", the text,
// "]]>". Each "]]>" inside
// text is split as "]]" "]]><![CDATA[" ">", so the text survives whole.
std::string cdataSection(const std::string& text);

// A string stream that formats numbers with the flags, precision and fill of
// os, in the classic ("C") locale whatever locale os carries.
std::ostringstream numberStream(const std::ostream& os);

// "<name>" at depth on a line of its own.
void writeOpenTag(std::ostream& os, unsigned int depth, const char* name);

// "</name>" at depth on a line of its own.
void writeCloseTag(std::ostream& os, unsigned int depth, const char* name);

// Inline elements at depth: "<name>", the value, "</name>", newline.
void writeTextElement(std::ostream& os, unsigned int depth, const char* name, const std::string& text);
void writeBoolElement(std::ostream& os, unsigned int depth, const char* name, bool value);

template <class Number>
void writeNumberElement(std::ostream& os, unsigned int depth, const char* name, Number value) {
  std::ostringstream number = numberStream(os);
  number << value;
  os << indent(depth) << "<" << name << ">" << number.str() << "</" << name << ">\n";
}

// The values line at depth: "<values>", every value followed by one blank,
// "</values>", newline.
void writeValuesLine(std::ostream& os, unsigned int depth, const std::vector<double>& values);

// When ref is set: "<name>" at depth, the object's writeXML at depth + 1 and
// "</name>" at depth. A null handle writes nothing.
template <class T>
void writeObjectElement(std::ostream& os, unsigned int depth, const char* name, const Reference<T>& ref) {
  if (!ref.getPointer()) return;
  writeOpenTag(os, depth, name);
  ref->writeXML(os, depth + 1);
  writeCloseTag(os, depth, name);
}

}  // namespace XMLWriteUtils
}  // namespace Orvane
