// Helpers of the material reader tests: XML snippets as documents, and the
// message a reader throws.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "orvane_utils/OrvaneSceneParseUtilsExcep.h"

namespace parse_test {

// A parsed snippet; its root element is the one under test.
struct Snippet {
  explicit Snippet(const std::string& xml) {
    doc.Parse(xml.c_str());
    EXPECT_FALSE(doc.Error()) << doc.ErrorDesc() << " in " << xml;
  }
  const TiXmlElement& root() const {
    const TiXmlElement* r = doc.RootElement();
    EXPECT_NE(r, nullptr);
    return *r;
  }
  TiXmlDocument doc;
};

// The message f throws, or "<no error>".
inline std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Orvane::OrvaneSceneParseUtilsExcep& e) {
    return e.what();
  }
  return "<no error>";
}

// The location suffix of an element at row, column.
inline std::string at(const std::string& element, int row, int column) {
  return "  (In element '" + element + "', around line " + std::to_string(row) + ", column " +
         std::to_string(column) + ")";
}

}  // namespace parse_test
