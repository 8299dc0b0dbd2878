// Reading written XML back in a form tests can compare as text.
#pragma once

#include <tinyxml.h>

#include <string>

/// The children of `e` as "name=text" (elements without children), "name{...}" (with children)
/// and "#comment", joined by ";".
std::string Flatten(const TiXmlElement* e);
