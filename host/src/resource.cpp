// The plug-in's string resources, the host's menus and its version.
#include "c4d_resource.h"

#include <atomic>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <sstream>

#include "c4d_general.h"
#include "host_state.h"

GeResource resource;

namespace {

// One line "<id> \"<text>\"" of a string file; comments start with "//".
bool ParseStringLine(const std::string& line, LONG* id, std::string* text) {
  auto blank = [&line](size_t k) { return k < line.size() && isspace(static_cast<unsigned char>(line[k])); };
  size_t i = 0;
  while (blank(i)) ++i;
  if (i == line.size() || line.compare(i, 2, "//") == 0) return false;
  size_t start = i;
  long long number = 0;
  while (i < line.size() && isdigit(static_cast<unsigned char>(line[i]))) {
    number = number * 10 + (line[i] - '0');
    if (number > INT32_MAX) return false;
    ++i;
  }
  if (i == start) return false;
  *id = static_cast<LONG>(number);
  while (blank(i)) ++i;
  if (i == line.size() || line[i] != '"') return false;
  text->clear();
  for (size_t k = i + 1; k < line.size(); ++k) {
    char c = line[k];
    if (c == '"') {
      // Only blanks or a comment may follow the text.
      size_t rest = k + 1;
      while (blank(rest)) ++rest;
      return rest == line.size() || line.compare(rest, 2, "//") == 0;
    }
    if (c == '\\' && k + 1 < line.size()) {
      char e = line[++k];
      text->push_back(e == 'n' ? '\n' : e);
    } else {
      text->push_back(c);
    }
  }
  return false;  // unterminated
}

std::mutex g_overrideMutex;
std::map<LONG, String>& Overrides() {
  static std::map<LONG, String> o;
  return o;
}

}  // namespace

Bool GeResource::Init() { return Init(GeGetPluginPath() + Filename("res")); }

Bool GeResource::Init(const Filename& path) {
  strings_.clear();
  std::ifstream in(host::ToUtf8((path + Filename("c4d_strings.str")).GetString()));
  if (!in) return false;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    LONG id = 0;
    std::string text;
    if (ParseStringLine(line, &id, &text)) {
      strings_[id] = String(text);
    } else {
      std::string trimmed = line;
      trimmed.erase(0, trimmed.find_first_not_of(" \t\r"));
      if (!trimmed.empty() && trimmed.compare(0, 2, "//") != 0) {
        GePrint(String("Bad string resource line " + std::to_string(lineNo) + " in " +
                       host::ToUtf8(path.GetString()) + "/c4d_strings.str"));
        strings_.clear();
        return false;
      }
    }
  }
  return true;
}

void GeResource::Free() { strings_.clear(); }

String GeResource::LoadString(LONG id) const {
  auto it = strings_.find(id);
  return it == strings_.end() ? String() : it->second;
}

String GeLoadString(LONG id) {
  String text;
  if (host::FindStringOverride(id, &text)) return text;
  return resource.LoadString(id);
}

namespace host {

bool FindStringOverride(LONG id, String* text) {
  std::lock_guard<std::mutex> lock(g_overrideMutex);
  auto it = Overrides().find(id);
  if (it == Overrides().end()) return false;
  *text = it->second;
  return true;
}

void OverrideString(LONG id, const std::string& text) {
  std::lock_guard<std::mutex> lock(g_overrideMutex);
  Overrides()[id] = String(text);
}

void ClearStringOverrides() {
  std::lock_guard<std::mutex> lock(g_overrideMutex);
  Overrides().clear();
}

void ResetStrings() {
  ClearStringOverrides();
  resource.Free();
}

}  // namespace host

// --- Menus ----------------------------------------------------------------------

namespace {

BaseContainer Submenu(const char* title, std::initializer_list<const char*> commands) {
  BaseContainer bc;
  bc.InsData(MENURESOURCE_SUBTITLE, String(title));
  for (const char* c : commands) bc.InsData(MENURESOURCE_COMMAND, String(c));
  return bc;
}

struct Menus {
  BaseContainer pictureViewer;
  BaseContainer materialManager;
};

Menus& TheMenus() {
  static Menus m;
  return m;
}

std::atomic<LONG> g_versionType{0};

GeData* FindTitled(BaseContainer* menu, const String& identifier) {
  for (LONG i = 0; GeData* d = menu->GetIndexData(i); ++i) {
    LONG id = menu->GetIndexId(i);
    if (id == MENURESOURCE_SUBMENU || id == MENURESOURCE_STRING) {
      BaseContainer* sub = d->GetContainer();
      if (!sub) continue;
      if (sub->GetString(MENURESOURCE_SUBTITLE) == identifier) return d;
      if (GeData* found = FindTitled(sub, identifier)) return found;
    } else if (id == MENURESOURCE_COMMAND && d->GetString() == identifier) {
      return d;
    }
  }
  return nullptr;
}

}  // namespace

namespace host {

void ResetMenus() {
  Menus& m = TheMenus();
  m.pictureViewer = BaseContainer();
  m.pictureViewer.InsData(MENURESOURCE_SUBMENU, Submenu("IDS_OUTWINDOW_FILE", {"IDM_OPEN", "IDM_SAVE_AS"}));
  m.pictureViewer.InsData(MENURESOURCE_SUBMENU,
                          Submenu("IDS_OUTWINDOW_VIEW", {"IDM_ZOOM_IN", "IDM_ZOOM_OUT"}));

  BaseContainer file = Submenu("IDS_MATERIAL_FILE", {});
  file.InsData(MENURESOURCE_SUBMENU,
               Submenu("IDS_MATERIAL_SHADER", {"IDM_SHADER_NOISE", "IDM_SHADER_GRADIENT"}));
  file.InsData(MENURESOURCE_COMMAND, String("IDM_NEW_MATERIAL"));
  file.InsData(MENURESOURCE_COMMAND, String("IDM_LOAD_MATERIALS"));
  m.materialManager = BaseContainer();
  m.materialManager.InsData(MENURESOURCE_SUBMENU, file);
  m.materialManager.InsData(MENURESOURCE_SUBMENU, Submenu("IDS_MATERIAL_EDIT", {"IDM_UNDO", "IDM_REDO"}));
}

void ResetMenusState() {
  ResetMenus();
  g_versionType.store(0);
}

void SetVersionType(LONG type) { g_versionType.store(type); }

}  // namespace host

BaseContainer* GetMenuResource(const String& name) {
  static bool once = (host::ResetMenus(), true);
  (void)once;
  if (name == String("M_PICTURE_VIEWER")) return &TheMenus().pictureViewer;
  if (name == String("M_MATERIAL_MANAGER")) return &TheMenus().materialManager;
  return nullptr;
}

Bool SearchMenuResource(BaseContainer* menu, const String& command) {
  if (!menu) return false;
  GeData* d = FindTitled(menu, command);
  return d && d->GetType() == DA_STRING;
}

GeData* SearchPluginMenuResource(const String& identifier) {
  for (const char* name : {"M_PICTURE_VIEWER", "M_MATERIAL_MANAGER"})
    if (GeData* d = FindTitled(GetMenuResource(String(name)), identifier)) return d;
  return nullptr;
}

LONG GeGetVersionType() { return g_versionType.load(); }
