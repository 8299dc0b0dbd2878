// Descriptions and their resource files. A description resource is a JSON file
// "res/description/<name>.res" in the plug-in's folder:
//
//   {"elements": [
//     {"id": 1000, "type": "group", "name": "Camera", "elements": [
//       {"id": 1917, "type": "long", "name": "White balance",
//        "cycle": [{"value": 1905, "name": "E"}, {"value": 1908, "name": "D65"}]},
//       {"id": 1926, "type": "real", "name": "Exposure", "min": 0, "max": 60, "step": 0.01},
//       {"id": 1925, "type": "bool", "name": "Autofocus", "hide": false}]}]}
//
// Types: group, bool, long, real, vector, color, string, filename, link, button, separator. Only a
// group has "elements", only a long has "cycle". Every ID is unique in the file.
#include "c4d_description.h"

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "c4d_general.h"
#include "c4d_nodedata.h"
#include "host_control.h"

namespace {

using Json = nlohmann::ordered_json;

struct BadResource {
  std::string place;
  std::string problem;
};

[[noreturn]] void Bad(const std::string& place, const std::string& problem) {
  throw BadResource{place, problem};
}

LONG TypeByName(const std::string& name) {
  static const std::pair<const char*, LONG> kTypes[] = {
      {"group", DTYPE_GROUP},       {"bool", DTYPE_BOOL},         {"long", DTYPE_LONG},
      {"real", DTYPE_REAL},         {"vector", DTYPE_VECTOR},     {"color", DTYPE_COLOR},
      {"string", DTYPE_STRING},     {"filename", DTYPE_FILENAME}, {"link", DTYPE_BASELISTLINK},
      {"button", DTYPE_BUTTON},     {"separator", DTYPE_SEPARATOR},
  };
  for (const auto& t : kTypes)
    if (name == t.first) return t.second;
  return DTYPE_NONE;
}

LONG ToId(const Json& v, const std::string& place) {
  if (!v.is_number_integer()) Bad(place, "expected an integer");
  long long n = v.get<long long>();
  if (n < INT32_MIN || n > INT32_MAX) Bad(place, "integer out of the 32-bit range");
  return static_cast<LONG>(n);
}

Real ToNumber(const Json& v, const std::string& place) {
  if (!v.is_number()) Bad(place, "expected a number");
  Real r = v.get<Real>();
  if (!std::isfinite(r)) Bad(place, "the number is not finite");
  return r;
}

const std::string& ToText(const Json& v, const std::string& place) {
  if (!v.is_string()) Bad(place, "expected a string");
  return v.get_ref<const std::string&>();
}

}  // namespace

// Fills a description from the parsed resource.
struct DescriptionReader {
  Description* desc;
  std::set<LONG> ids;

  void Elements(const Json& list, const std::string& place, LONG parent) {
    if (!list.is_array()) Bad(place, "expected an array of elements");
    for (size_t i = 0; i < list.size(); ++i) Element(list[i], place + "/" + std::to_string(i), parent);
  }

  void Element(const Json& e, const std::string& place, LONG parent) {
    if (!e.is_object()) Bad(place, "expected an object");
    for (auto it = e.begin(); it != e.end(); ++it) {
      static const std::set<std::string> kKnown = {"id", "type", "name", "min", "max",
                                                   "step", "cycle", "hide", "elements"};
      if (!kKnown.count(it.key())) Bad(place + "/" + it.key(), "unknown field");
    }
    if (!e.contains("id")) Bad(place, "an element needs an id");
    if (!e.contains("type")) Bad(place, "an element needs a type");
    const LONG id = ToId(e["id"], place + "/id");
    const LONG type = TypeByName(ToText(e["type"], place + "/type"));
    if (type == DTYPE_NONE) Bad(place + "/type", "unknown type \"" + e["type"].get<std::string>() + "\"");
    if (!ids.insert(id).second) Bad(place + "/id", "ID " + std::to_string(id) + " is given twice");

    BaseContainer settings;
    if (e.contains("name")) settings.SetString(DESC_NAME, String(ToText(e["name"], place + "/name")));
    if (e.contains("min")) settings.SetReal(DESC_MIN, ToNumber(e["min"], place + "/min"));
    if (e.contains("max")) settings.SetReal(DESC_MAX, ToNumber(e["max"], place + "/max"));
    if (e.contains("step")) settings.SetReal(DESC_STEP, ToNumber(e["step"], place + "/step"));
    settings.SetLong(DESC_PARENTGROUP, parent);
    if (e.contains("hide")) {
      if (!e["hide"].is_boolean()) Bad(place + "/hide", "expected true or false");
      settings.SetBool(DESC_HIDE, e["hide"].get<bool>());
    }
    if (e.contains("cycle")) {
      if (type != DTYPE_LONG) Bad(place + "/cycle", "only a long has a cycle");
      const Json& cycle = e["cycle"];
      if (!cycle.is_array()) Bad(place + "/cycle", "expected an array");
      BaseContainer values;
      for (size_t i = 0; i < cycle.size(); ++i) {
        const std::string at = place + "/cycle/" + std::to_string(i);
        const Json& c = cycle[i];
        if (!c.is_object() || !c.contains("value") || !c.contains("name") || c.size() != 2)
          Bad(at, "a cycle entry is {\"value\": <integer>, \"name\": <string>}");
        const LONG value = ToId(c["value"], at + "/value");
        if (values.GetDataPointer(value)) Bad(at + "/value", "value " + std::to_string(value) + " is given twice");
        values.SetString(value, String(ToText(c["name"], at + "/name")));
      }
      settings.SetContainer(DESC_CYCLE, values);
    }
    desc->entries_.push_back(Description::Entry{DescID(DescLevel(id, type, 0)), settings});
    if (e.contains("elements")) {
      if (type != DTYPE_GROUP) Bad(place + "/elements", "only a group has elements");
      Elements(e["elements"], place + "/elements", id);
    }
  }
};

Bool Description::LoadDescription(LONG pluginid) {
  for (const host::Registration& r : host::Registrations()) {
    if (r.accepted && r.id == pluginid && !r.description.empty())
      return LoadDescription(String(r.description));
  }
  return false;
}

Bool Description::LoadDescription(const String& name) {
  const std::string resName = host::ToUtf8(name);
  if (resName.empty() || resName.find('/') != std::string::npos || resName.find('\0') != std::string::npos)
    return false;
  const Filename file = GeGetPluginPath() + Filename("res") + Filename("description") +
                        Filename(String(resName + ".res"));
  const std::string path = host::ToUtf8(file.GetString());
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();

  Description loaded;
  loaded.name_ = name;
  try {
    Json root = Json::parse(text.str());
    if (!root.is_object()) Bad("", "expected an object");
    for (auto it = root.begin(); it != root.end(); ++it)
      if (it.key() != "elements") Bad("/" + it.key(), "unknown field");
    DescriptionReader reader{&loaded, {}};
    if (root.contains("elements")) reader.Elements(root["elements"], "/elements", 0);
  } catch (const BadResource& e) {
    GePrint(String("Bad description resource " + path + ": " + (e.place.empty() ? "" : e.place + ": ") +
                   e.problem));
    return false;
  } catch (const nlohmann::json::exception& e) {
    GePrint(String("Bad description resource " + path + ": " + e.what()));
    return false;
  }
  *this = std::move(loaded);
  return true;
}

BaseContainer* Description::GetParameterI(const DescID& id, AtomArray*) {
  for (Entry& e : entries_)
    if (e.id[0].id == id[0].id) return &e.settings;
  return nullptr;
}

const BaseContainer* Description::GetParameter(const DescID& id) const {
  for (const Entry& e : entries_)
    if (e.id[0].id == id[0].id) return &e.settings;
  return nullptr;
}

DescID Description::GetIndexId(LONG index) const {
  return index >= 0 && index < GetCount() ? entries_[index].id : DescID();
}

const BaseContainer* Description::GetIndexSettings(LONG index) const {
  return index >= 0 && index < GetCount() ? &entries_[index].settings : nullptr;
}

Bool Description::IsHidden(LONG id) const {
  // A group lies before its elements, so walking up ends; the bound guards a malformed chain.
  for (LONG depth = 0; id != 0 && depth <= GetCount(); ++depth) {
    const BaseContainer* bc = GetParameter(DescID(DescLevel(id)));
    if (!bc) return false;
    if (bc->GetBool(DESC_HIDE)) return true;
    id = bc->GetLong(DESC_PARENTGROUP);
  }
  return false;
}

Bool BaseList2D::GetDescription(Description* description, LONG flags) {
  if (!description) return false;
  LONG f = flags & ~DESCFLAGS_DESC_LOADED;
  // A plug-in that declines (false) or loads nothing leaves the node its type's resource.
  NodeData* d = GetNodeData();
  if (d && d->GetDDescription(this, description, f) && (f & DESCFLAGS_DESC_LOADED)) return true;
  return description->LoadDescription(GetType());
}
