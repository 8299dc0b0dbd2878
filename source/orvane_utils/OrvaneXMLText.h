// OrvaneXMLText: text made fit for an XML 1.0 file.
//
// XML 1.0 allows tab, line feed, carriage return, and the characters from
// U+0020 up except the surrogates U+D800-U+DFFF and U+FFFE, U+FFFF; a file is
// UTF-8. Names typed by users, read from documents or from other files may
// hold anything, and no escape can carry a forbidden character ("&#x01;" is
// itself forbidden). Every text this system writes into XML therefore goes
// through allowedText() on its way out: each forbidden character, and each
// byte sequence that is not UTF-8 (one U+FFFD for every maximal ill-formed
// part, as Unicode recommends), becomes U+FFFD, the replacement character.
#pragma once

#include <string>

namespace Orvane {
namespace XMLText {

/// U+FFFD in UTF-8.
extern const char* const REPLACEMENT;

/// True when text is UTF-8 holding only characters XML 1.0 allows.
bool isAllowed(const std::string& text);

/// text with every character XML 1.0 does not allow, and every ill-formed
/// UTF-8 part, replaced by U+FFFD. Allowed text comes back unchanged.
std::string allowedText(const std::string& text);

/// allowedText(text) made fit to stand between "<!--" and "-->": a blank
/// goes between two '-' in a row, and after a final '-'.
std::string commentText(const std::string& text);

}  // namespace XMLText
}  // namespace Orvane
