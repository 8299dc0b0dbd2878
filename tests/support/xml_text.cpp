#include "support/xml_text.h"

std::string Flatten(const TiXmlElement* e) {
  std::string out;
  for (const TiXmlNode* n = e->FirstChild(); n; n = n->NextSibling()) {
    std::string item;
    if (const TiXmlElement* c = n->ToElement()) {
      item = c->Value();
      if (c->FirstChildElement())
        item += "{" + Flatten(c) + "}";
      else if (c->GetText())
        item += std::string("=") + c->GetText();
    } else if (n->ToComment()) {
      item = std::string("#") + n->Value();
    } else {
      continue;
    }
    out += (out.empty() ? "" : ";") + item;
  }
  return out;
}
