#include "orvane_utils/OrvaneXMLLoader.h"

#include <algorithm>
#include <cstring>

#include "utils/stringutils.h"

namespace Orvane {

namespace {

// TinyXML's view of the text's encoding: unknown until a BOM or the first
// top-level declaration says otherwise. Only in UTF-8 does a lead byte take
// the following bytes with it, whatever they are.
enum Encoding
{
	ENC_UNKNOWN,
	ENC_UTF8,
	ENC_LEGACY
};

// The spare NUL bytes after the text: a UTF-8 lead byte makes TinyXML jump up
// to three bytes past the terminator.
const size_t kPadding = 8;

inline unsigned char U(char c)
{
	return static_cast<unsigned char>(c);
}

// isspace() of the classic locale, as TinyXML uses it.
inline bool isWhite(char c)
{
	return c == ' ' || (U(c) >= '\t' && U(c) <= '\r');
}

// TinyXML counts every byte from 127 up as a letter.
inline bool isAlpha(char c)
{
	const unsigned char u = U(c);
	return u >= 127 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

inline bool isNameChar(char c)
{
	const unsigned char u = U(c);
	return isAlpha(c) || (u >= '0' && u <= '9') || c == '_' || c == '-' || c == '.' || c == ':';
}

inline bool startsWith(const char* p, const char* tag)
{
	for(; *tag; ++p, ++tag)
		if(*p != *tag)
			return false;
	return true;
}

inline char asciiLower(char c)
{
	return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool startsWithNoCase(const char* p, const char* tag)
{
	for(; *tag; ++p, ++tag)
		if(!*p || asciiLower(*p) != asciiLower(*tag))
			return false;
	return true;
}

// The measuring pass. It follows TinyXML 2.6's reading of a document step by
// step wherever that decides the nesting: which '<' opens an element, where
// comments, CDATA sections, unknown nodes, declarations and attribute values
// end, and how far a UTF-8 lead byte carries the cursor. Where TinyXML would
// stop with an error, the pass stops too; where it merely rejects a detail
// that does not move the cursor differently (a bad entity, a repeated
// attribute), the pass reads on, which can only raise the counts.
// Every function returns the position after what it read, or null where
// TinyXML's reading ends.
class Measure
{
public:
	Measure(const char* text_, bool ambiguousMeansUtf8_)
		: ambiguousEncoding(false), text(text_), encoding(ENC_UNKNOWN), depth(0),
		  ambiguousMeansUtf8(ambiguousMeansUtf8_)
	{
		shape.max_depth = 0;
		shape.max_attributes = 0;
		shape.deepest_offset = std::string::npos;
		shape.attributes_offset = std::string::npos;
	}

	void document()
	{
		const char* p = text;
		if(!*p)
			return;
		if(U(p[0]) == 0xEF && U(p[1]) == 0xBB && U(p[2]) == 0xBF)
			encoding = ENC_UTF8;
		p = skipWhite(p);
		while(*p)
		{
			if(*p != '<')
				return; // TinyXML reads nothing but nodes at the top level
			if(startsWithNoCase(p, "<?xml"))
			{
				std::string declared;
				bool hasEntity = false;
				p = declaration(p, &declared, &hasEntity);
				if(encoding == ENC_UNKNOWN)
					encoding = encodingOf(declared, hasEntity);
			}
			else
				p = node(p);
			if(!p)
				return;
			p = skipWhite(p);
		}
	}

	OrvaneXMLLoader::Shape shape;
	bool ambiguousEncoding; // a declaration's encoding held an entity

private:
	Encoding encodingOf(const std::string& declared, bool hasEntity)
	{
		if(hasEntity)
		{
			// The value TinyXML decodes is not worth rebuilding here; the
			// caller measures under both readings instead.
			ambiguousEncoding = true;
			return ambiguousMeansUtf8 ? ENC_UTF8 : ENC_LEGACY;
		}
		if(declared.empty() || startsWithNoCase(declared.c_str(), "UTF-8") ||
		   startsWithNoCase(declared.c_str(), "UTF8"))
			return ENC_UTF8;
		return ENC_LEGACY;
	}

	const char* skipWhite(const char* p) const
	{
		if(encoding == ENC_UTF8)
		{
			while(*p)
			{
				if(U(p[0]) == 0xEF && ((U(p[1]) == 0xBB && U(p[2]) == 0xBF) || (U(p[1]) == 0xBF && U(p[2]) == 0xBE) ||
				                       (U(p[1]) == 0xBF && U(p[2]) == 0xBF)))
					p += 3;
				else if(isWhite(*p))
					++p;
				else
					break;
			}
			return p;
		}
		while(isWhite(*p))
			++p;
		return p;
	}

	// One character of text or of a quoted attribute value.
	const char* character(const char* p) const
	{
		if(encoding != ENC_UTF8)
			return p + 1;
		const int length = TiXmlBase::utf8ByteTable[U(*p)];
		return length > 0 ? p + length : nullptr;
	}

	// p at '<', inside an element or at the top level.
	const char* node(const char* p)
	{
		if(startsWithNoCase(p, "<?xml"))
			return declaration(p, nullptr, nullptr);
		if(startsWith(p, "<!--"))
		{
			const char* end = std::strstr(p + 4, "-->");
			return end ? end + 3 : p + 4 + std::strlen(p + 4);
		}
		if(startsWith(p, "<![CDATA["))
		{
			const char* end = std::strstr(p + 9, "]]>");
			if(!end || !end[3])
				return nullptr;
			return end + 3;
		}
		if(startsWith(p, "<!") || !(isAlpha(p[1]) || p[1] == '_'))
		{
			const char* end = std::strchr(p + 1, '>');
			return end ? end + 1 : p + 1 + std::strlen(p + 1);
		}
		return element(p);
	}

	const char* element(const char* start)
	{
		// TinyXML keeps an element in the tree even when reading it fails
		// at once, so it counts from here.
		++depth;
		if(depth > shape.max_depth)
			shape.max_depth = depth;
		if(depth > OrvaneXMLLoader::MAX_ELEMENT_DEPTH)
		{
			// The verdict is known; stopping here also bounds this pass's own
			// recursion.
			shape.deepest_offset = static_cast<size_t>(start - text);
			return nullptr;
		}

		const char* p = skipWhite(start + 1);
		if(!(isAlpha(*p) || *p == '_'))
			return nullptr;
		const char* name = p;
		while(isNameChar(*p))
			++p;
		const size_t nameLength = static_cast<size_t>(p - name);
		if(!*p)
			return nullptr;

		int attributes = 0;
		while(*p)
		{
			p = skipWhite(p);
			if(!*p)
				return nullptr;
			if(*p == '/')
			{
				if(p[1] != '>')
					return nullptr;
				--depth;
				return p + 2;
			}
			if(*p == '>')
			{
				p = content(p + 1);
				if(!p || !*p)
					return nullptr;
				// p is at "</": the end tag must name this element.
				if(std::strncmp(p + 2, name, nameLength) != 0)
					return nullptr;
				p = skipWhite(p + 2 + nameLength);
				if(*p != '>')
					return nullptr;
				--depth;
				return p + 1;
			}
			++attributes;
			if(attributes > shape.max_attributes)
				shape.max_attributes = attributes;
			if(attributes > OrvaneXMLLoader::MAX_ATTRIBUTES_PER_ELEMENT &&
			   shape.attributes_offset == std::string::npos)
				shape.attributes_offset = static_cast<size_t>(start - text);
			p = attribute(p, nullptr, nullptr);
			if(!p || !*p)
				return nullptr;
		}
		return nullptr;
	}

	// The content of an element up to its end tag; returns the position of
	// "</" or null.
	const char* content(const char* p)
	{
		p = skipWhite(p);
		while(*p)
		{
			if(*p != '<')
			{
				// Text: up to the next '<' that a character does not swallow.
				while(*p && *p != '<')
				{
					p = isWhite(*p) ? p + 1 : character(p);
					if(!p)
						return nullptr;
				}
				if(!*p || !p[1])
					return nullptr;
			}
			else
			{
				if(p[1] == '/')
					return p;
				p = node(p);
				if(!p)
					return nullptr;
			}
			p = skipWhite(p);
		}
		return nullptr;
	}

	// An attribute "name = value"; the value's raw bytes go to value when
	// asked for, and hasEntity tells whether it held a '&'.
	const char* attribute(const char* p, std::string* value, bool* hasEntity)
	{
		p = skipWhite(p);
		if(!(isAlpha(*p) || *p == '_'))
			return nullptr;
		while(isNameChar(*p))
			++p;
		if(!*p)
			return nullptr;
		p = skipWhite(p);
		if(*p != '=')
			return nullptr;
		p = skipWhite(p + 1);
		if(!*p)
			return nullptr;
		const char* begin;
		if(*p == '\'' || *p == '"')
		{
			const char quote = *p++;
			begin = p;
			while(*p && *p != quote)
			{
				p = character(p);
				if(!p)
					return nullptr;
			}
			if(value)
				value->assign(begin, static_cast<size_t>(p - begin));
			if(!*p || !p[1])
				return nullptr;
			++p;
		}
		else
		{
			begin = p;
			while(*p && !isWhite(*p) && *p != '/' && *p != '>')
			{
				if(*p == '\'' || *p == '"')
					return nullptr;
				++p;
			}
			if(value)
				value->assign(begin, static_cast<size_t>(p - begin));
		}
		if(hasEntity && value)
			*hasEntity = value->find('&') != std::string::npos;
		return p;
	}

	// p at "<?xml" (any case). The "encoding" attribute's raw value goes to
	// declared when asked for.
	const char* declaration(const char* p, std::string* declared, bool* hasEntity)
	{
		p += 5;
		while(*p)
		{
			if(*p == '>')
				return p + 1;
			p = skipWhite(p);
			if(!*p)
				return nullptr;
			if(startsWithNoCase(p, "version") || startsWithNoCase(p, "standalone"))
				p = attribute(p, nullptr, nullptr);
			else if(startsWithNoCase(p, "encoding"))
				p = attribute(p, declared, hasEntity);
			else
				while(*p && *p != '>' && !isWhite(*p))
					++p;
			if(!p)
				return nullptr;
		}
		return nullptr;
	}

	const char* text;
	Encoding encoding;
	int depth;
	bool ambiguousMeansUtf8;
};

// "around line N" for a byte offset of text.
std::string lineOf(const std::string& text, size_t offset)
{
	const size_t end = std::min(offset, text.size());
	return intToString(1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n')));
}

} // namespace

OrvaneXMLLoader::Shape OrvaneXMLLoader::measure(const char* text)
{
	Measure first(text, true);
	first.document();
	if(!first.ambiguousEncoding)
		return first.shape;
	// The declared encoding could not be read without decoding entities:
	// measure under the other reading too and keep the larger counts.
	Measure second(text, false);
	second.document();
	Shape shape = first.shape;
	if(second.shape.max_depth > shape.max_depth)
	{
		shape.max_depth = second.shape.max_depth;
		shape.deepest_offset = second.shape.deepest_offset;
	}
	if(second.shape.max_attributes > shape.max_attributes)
	{
		shape.max_attributes = second.shape.max_attributes;
		shape.attributes_offset = second.shape.attributes_offset;
	}
	return shape;
}

std::string OrvaneXMLLoader::prepare(const std::string& bytes)
{
	const char* p = bytes.data();
	const void* nul = std::memchr(p, '\0', bytes.size());
	const char* const end = nul ? static_cast<const char*>(nul) : p + bytes.size();
	std::string text;
	text.reserve(static_cast<size_t>(end - p) + kPadding);
	while(p < end)
	{
		const void* cr = std::memchr(p, '\r', static_cast<size_t>(end - p));
		if(!cr)
		{
			text.append(p, static_cast<size_t>(end - p));
			break;
		}
		const char* const at = static_cast<const char*>(cr);
		text.append(p, static_cast<size_t>(at - p));
		text.push_back('\n');
		p = at + 1;
		if(p < end && *p == '\n')
			++p;
	}
	text.append(kPadding, '\0');
	return text;
}

bool OrvaneXMLLoader::parse(const std::string& bytes, TiXmlDocument& doc, std::string& error_out)
{
	doc.Clear();
	const std::string text = prepare(bytes);
	const Shape shape = measure(text.c_str());
	if(shape.max_depth > MAX_ELEMENT_DEPTH)
	{
		error_out = "Elements are nested more than " + intToString(MAX_ELEMENT_DEPTH) + " levels deep, around line " +
		            lineOf(text, shape.deepest_offset) + ".";
		return false;
	}
	if(shape.max_attributes > MAX_ATTRIBUTES_PER_ELEMENT)
	{
		error_out = "An element has more than " + intToString(MAX_ATTRIBUTES_PER_ELEMENT) +
		            " attributes, around line " + lineOf(text, shape.attributes_offset) + ".";
		return false;
	}
	doc.Parse(text.c_str());
	if(doc.Error())
	{
		std::string description = doc.ErrorDesc();
		if(!description.empty() && description.back() == '.')
			description.pop_back();
		error_out = "Not well-formed XML: " + description;
		if(doc.ErrorRow() > 0)
			error_out += " (around line " + intToString(doc.ErrorRow()) + ", column " + intToString(doc.ErrorCol()) +
			             ")";
		error_out += ".";
		return false;
	}
	return true;
}

} // namespace Orvane
