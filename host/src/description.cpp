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
// Types: group, bool, long, real, vector, color, string, filename, link, button, separator,
// bitmapbutton (an image that a node hands over on request, `MSG_DESCRIPTION_GETBITMAP`). Only a
// group has "elements", only a long has "cycle". Every ID is unique in the file.
//
// "gui" names the custom interface element that shows a parameter, by the symbol the element
// registered (`CustomGuiData::GetResourceSym`), for example
//   {"id": 6201, "type": "link", "name": "Node tree", "gui": "CORVANE_TREE_GUI"}
// A node's attribute page (host_page.h) then creates that element for the parameter. Groups,
// separators and buttons carry no value and take no element.
#include "c4d_description.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "c4d_descriptionmessages.h"
#include "c4d_general.h"
#include "c4d_nodedata.h"
#include "host_control.h"
#include "json_tree.h"

namespace {

namespace json = host::json;
using Json = json::Value;

// Description resources are small; the bounds only keep a broken file from costing much.
constexpr size_t kResourceMaxBytes = 16u << 20;
constexpr int kResourceMaxNesting = 256;

// A resource's fault is reported like a syntax error of the reader: a place and a problem.
[[noreturn]] void Bad(const std::string& place, const std::string& problem) {
  throw json::ReadError{place, problem};
}

LONG TypeByName(const std::string& name) {
  static const std::pair<const char*, LONG> kTypes[] = {
      {"group", DTYPE_GROUP},   {"bool", DTYPE_BOOL},           {"long", DTYPE_LONG},
      {"real", DTYPE_REAL},     {"vector", DTYPE_VECTOR},       {"color", DTYPE_COLOR},
      {"string", DTYPE_STRING}, {"filename", DTYPE_FILENAME},   {"link", DTYPE_BASELISTLINK},
      {"button", DTYPE_BUTTON}, {"separator", DTYPE_SEPARATOR}, {"bitmapbutton", CUSTOMDATATYPE_BITMAPBUTTON},
  };
  for (const auto& t : kTypes)
    if (name == t.first) return t.second;
  return DTYPE_NONE;
}

LONG ToId(const Json& v, const std::string& place) {
  if (!v.IsInteger()) Bad(place, "expected an integer");
  if (v.kind() == json::Kind::Uint || v.AsInt() < INT32_MIN || v.AsInt() > INT32_MAX)
    Bad(place, "integer out of the 32-bit range");
  return static_cast<LONG>(v.AsInt());
}

Real ToNumber(const Json& v, const std::string& place) {
  if (!v.IsNumber()) Bad(place, "expected a number");
  Real r = v.AsReal();
  if (!std::isfinite(r)) Bad(place, "the number is not finite");
  return r;
}

const std::string& ToText(const Json& v, const std::string& place) {
  if (v.kind() != json::Kind::String) Bad(place, "expected a string");
  return v.AsText();
}

}  // namespace

// Fills a description from the parsed resource.
struct DescriptionReader {
  Description* desc;
  std::set<LONG> ids;

  void Elements(const Json& list, const std::string& place, LONG parent) {
    if (list.kind() != json::Kind::Array) Bad(place, "expected an array of elements");
    for (size_t i = 0; i < list.size(); ++i) Element(list[i], place + "/" + std::to_string(i), parent);
  }

  void Element(const Json& e, const std::string& place, LONG parent) {
    if (e.kind() != json::Kind::Object) Bad(place, "expected an object");
    for (const json::Field& f : e.node()->members) {
      static const std::set<std::string> kKnown = {"id",   "type",  "name", "min",      "max",
                                                   "step", "cycle", "hide", "elements", "gui"};
      if (!kKnown.count(f.key)) Bad(place + "/" + f.key, "unknown field");
    }
    const json::Node* idField = e.Find("id");
    const json::Node* typeField = e.Find("type");
    if (!idField) Bad(place, "an element needs an id");
    if (!typeField) Bad(place, "an element needs a type");
    const LONG id = ToId(*idField, place + "/id");
    const std::string& typeName = ToText(*typeField, place + "/type");
    const LONG type = TypeByName(typeName);
    if (type == DTYPE_NONE) Bad(place + "/type", "unknown type \"" + typeName + "\"");
    if (!ids.insert(id).second) Bad(place + "/id", "ID " + std::to_string(id) + " is given twice");

    BaseContainer settings;
    if (const json::Node* v = e.Find("name"))
      settings.SetString(DESC_NAME, String(ToText(*v, place + "/name")));
    if (const json::Node* v = e.Find("min")) settings.SetReal(DESC_MIN, ToNumber(*v, place + "/min"));
    if (const json::Node* v = e.Find("max")) settings.SetReal(DESC_MAX, ToNumber(*v, place + "/max"));
    if (const json::Node* v = e.Find("step")) settings.SetReal(DESC_STEP, ToNumber(*v, place + "/step"));
    settings.SetLong(DESC_PARENTGROUP, parent);
    if (const json::Node* v = e.Find("hide")) {
      if (v->kind != json::Kind::Bool) Bad(place + "/hide", "expected true or false");
      settings.SetBool(DESC_HIDE, v->b);
    }
    if (const json::Node* v = e.Find("gui")) {
      if (type == DTYPE_GROUP || type == DTYPE_SEPARATOR || type == DTYPE_BUTTON)
        Bad(place + "/gui", "a " + typeName + " has no value to show in an element");
      const std::string& symbol = ToText(*v, place + "/gui");
      if (symbol.empty()) Bad(place + "/gui", "expected the symbol of an interface element");
      settings.SetString(DESC_CUSTOMGUI, String(symbol));
    }
    if (const json::Node* cycleField = e.Find("cycle")) {
      if (type != DTYPE_LONG) Bad(place + "/cycle", "only a long has a cycle");
      const Json cycle(*cycleField);
      if (cycle.kind() != json::Kind::Array) Bad(place + "/cycle", "expected an array");
      BaseContainer values;
      for (size_t i = 0; i < cycle.size(); ++i) {
        const std::string at = place + "/cycle/" + std::to_string(i);
        const Json c = cycle[i];
        const json::Node* value = c.Find("value");
        const json::Node* name = c.Find("name");
        if (!value || !name || c.size() != 2)
          Bad(at, "a cycle entry is {\"value\": <integer>, \"name\": <string>}");
        const LONG v = ToId(*value, at + "/value");
        if (values.GetDataPointer(v)) Bad(at + "/value", "value " + std::to_string(v) + " is given twice");
        values.SetString(v, String(ToText(*name, at + "/name")));
      }
      settings.SetContainer(DESC_CYCLE, values);
    }
    desc->entries_.push_back(Description::Entry{DescID(DescLevel(id, type, 0)), settings});
    if (const json::Node* elements = e.Find("elements")) {
      if (type != DTYPE_GROUP) Bad(place + "/elements", "only a group has elements");
      Elements(*elements, place + "/elements", id);
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
  const Filename file =
      GeGetPluginPath() + Filename("res") + Filename("description") + Filename(String(resName + ".res"));
  const std::string path = host::ToUtf8(file.GetString());
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!in) return false;

  Description loaded;
  loaded.name_ = name;
  try {
    const json::Node root = json::ReadFile(in.get(), kResourceMaxBytes, kResourceMaxNesting);
    if (root.kind != json::Kind::Object) Bad("", "expected an object");
    for (const json::Field& f : root.members)
      if (f.key != "elements") Bad("/" + f.key, "unknown field");
    DescriptionReader reader{&loaded, {}};
    if (const json::Node* elements = Json(root).Find("elements")) reader.Elements(*elements, "/elements", 0);
  } catch (const json::ReadError& e) {
    GePrint(String("Bad description resource " + path + ": " + (e.place.empty() ? "" : e.place + ": ") +
                   e.problem));
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

Bool Description::SetParameter(const DescID& id, const BaseContainer& settings, const DescID& groupid) {
  if (id.GetDepth() == 0 || id[0].id == 0) return false;
  BaseContainer placed = settings;
  placed.SetLong(DESC_PARENTGROUP, groupid[0].id);
  for (Entry& e : entries_) {
    if (e.id[0].id == id[0].id) {
      e.id = id;
      e.settings = placed;
      return true;
    }
  }
  entries_.push_back({id, placed});
  return true;
}

BaseContainer GetCustomDataTypeDefault(LONG) { return BaseContainer(); }

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
