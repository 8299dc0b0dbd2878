#include "orvane_utils/OrvaneMaterialCheck.h"

#include <map>
#include <vector>

#include "orvane_utils/OrvaneBlendMaterial.h"
#include "orvane_utils/OrvaneSceneParseUtils.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "text/printable.h"

namespace Orvane {

const char* const OrvaneMaterialCheck::TYPE_NAMES[] = {"specular",      "glossy_transparent",
                                                       "diffuse",       "diffuse_transmitter",
                                                       "oren_nayar",    "phong",
                                                       "null_material", "blend",
                                                       nullptr};

namespace {

// One "material" element as the check saw it.
struct Entry {
  std::string name;
  bool named;
  std::string type;  // empty when no known type element
  bool failed;
  std::string a_name;  // blend partners, for a blend that parsed
  std::string b_name;
  bool blend;
};

// Follows the blend partners from every blend, as the import would import
// them, and returns a message for the first loop; empty when there is none. A
// chain may be as long as the file makes it: the import follows it without
// limit. firstByName maps a name to the first material of it.
std::string checkBlendChains(const std::vector<Entry>& entries,
                             const std::map<std::string, size_t>& firstByName) {
  // 0 = not visited, 1 = on the current path, 2 = done.
  std::vector<int> state(entries.size(), 0);
  struct Frame {
    size_t index;
    int next;  // 0: partner a, 1: partner b, 2: done
  };
  std::vector<Frame> stack;
  for (size_t root = 0; root < entries.size(); ++root) {
    if (!entries[root].blend || state[root] == 2) continue;
    stack.assign(1, Frame{root, 0});
    state[root] = 1;
    while (!stack.empty()) {
      Frame& frame = stack.back();
      const Entry& entry = entries[frame.index];
      if (frame.next == 2) {
        state[frame.index] = 2;
        stack.pop_back();
        continue;
      }
      const std::string& partner = frame.next == 0 ? entry.a_name : entry.b_name;
      ++frame.next;
      const auto found = firstByName.find(partner);
      if (found == firstByName.end() || !entries[found->second].blend) continue;
      const size_t target = found->second;
      // The import leaves that partner unset: the material it names is still being imported.
      if (state[target] == 1)
        return "Blend partners form a loop: the chain that starts at blend material '" + entries[root].name +
               "' leads back to '" + partner + "'.";
      if (state[target] == 0) {
        state[target] = 1;
        stack.push_back(Frame{target, 0});
      }
    }
  }
  return std::string();
}

}  // namespace

const TiXmlElement* OrvaneMaterialCheck::findTypeElement(const TiXmlElement& material) {
  for (const char* const* name = TYPE_NAMES; *name; ++name)
    if (const TiXmlElement* type = material.FirstChildElement(*name)) return type;
  return nullptr;
}

Reference<OrvaneMaterial> OrvaneMaterialCheck::parseTypeElement(const TiXmlElement& typeElement) {
  typedef OrvaneSceneParseUtils PU;
  const std::string& type = typeElement.ValueStr();
  if (type == "specular") return PU::parseSpecular(typeElement);
  if (type == "glossy_transparent") return PU::parseGlossyTransparent(typeElement);
  if (type == "diffuse") return PU::parseDiffuse(typeElement);
  if (type == "diffuse_transmitter") return PU::parseDiffuseTransmitter(typeElement);
  if (type == "oren_nayar") return PU::parseOrenNayar(typeElement);
  if (type == "phong") return PU::parsePhong(typeElement);
  if (type == "blend") return PU::parseBlendMaterial(typeElement);
  return Reference<OrvaneMaterial>();
}

int OrvaneMaterialCheck::checkText(const std::string& bytes, std::ostream& out, const std::string& prefix) {
  const auto say = [&](const std::string& line) { text::WriteLine(out, prefix + line); };
  TiXmlDocument doc;
  std::string error;
  if (!OrvaneXMLLoader::parse(bytes, doc, error)) {
    // Also for a text that is no XML at all (a JSON file, an image), in the words the import gives.
    say(error);
    return 1;
  }
  const TiXmlElement* scenedata = doc.FirstChildElement("scenedata");
  if (!scenedata) {
    say("No \"scenedata\" root element: not a material file.");
    return 1;
  }

  std::vector<Entry> entries;
  std::map<std::string, size_t> firstByName;
  int failures = 0;
  for (const TiXmlElement* material = scenedata->FirstChildElement("material"); material;
       material = material->NextSiblingElement("material")) {
    Entry entry;
    const TiXmlElement* nameElement = material->FirstChildElement("name");
    entry.named = nameElement != nullptr;
    entry.name = (nameElement && nameElement->GetText()) ? nameElement->GetText() : "";
    entry.failed = false;
    entry.blend = false;
    const TiXmlElement* typeElement = findTypeElement(*material);
    const std::string shownName = entry.named ? entry.name : std::string("(no name)");
    // Materials without "name" all keep the host's default name, which no
    // "name" text can equal.
    const std::string key = entry.named ? entry.name : std::string("\0default", 8);
    const bool duplicate = firstByName.count(key) != 0;
    if (!duplicate) firstByName[key] = entries.size();
    std::string line;
    if (!typeElement)
      line = shownName + ": no known material type element (the import makes a default diffuse material)";
    else {
      entry.type = typeElement->ValueStr();
      try {
        const Reference<OrvaneMaterial> parsed = parseTypeElement(*typeElement);
        line = shownName + ": " + entry.type;
        if (entry.type == "blend") {
          const OrvaneBlendMaterial* blend = static_cast<const OrvaneBlendMaterial*>(parsed.getPointer());
          entry.blend = true;
          entry.a_name = blend->a_name;
          entry.b_name = blend->b_name;
        }
      } catch (const OrvaneSceneParseUtilsExcep& e) {
        entry.failed = true;
        ++failures;
        line = shownName + ": error: " + e.what();
      }
    }
    if (duplicate) line += " (a material of this name comes earlier: the import keeps that one)";
    say(line);
    // A later material of a name already seen is never imported, so it
    // takes no part in the partner chains.
    if (duplicate) entry.blend = false;
    entries.push_back(entry);
  }

  const std::string chainError = checkBlendChains(entries, firstByName);
  if (!chainError.empty()) {
    say("error: " + chainError);
    ++failures;
  }
  say(std::to_string(entries.size()) + (entries.size() == 1 ? " material, " : " materials, ") +
      std::to_string(failures) + (failures == 1 ? " error." : " errors."));
  return failures;
}

}  // namespace Orvane
