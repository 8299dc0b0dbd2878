// The plug-in registry: every registration call in order, and the allocators behind node types.
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "c4d_basedocument.h"
#include "c4d_bitmap.h"
#include "c4d_plugin.h"
#include "host_state.h"

namespace host {
namespace {

struct Record {
  Registration reg;
  DataAllocator* alloc = nullptr;
  std::unique_ptr<BaseData> data;  // commands and custom interface elements
};

struct Registry {
  std::mutex mutex;
  std::vector<Record> records;
  std::set<LONG> refused;
};

Registry& TheRegistry() {
  static Registry r;
  return r;
}

std::string IconName(BaseBitmap* icon) {
  return icon ? ToUtf8(icon->GetFilename().GetFile().GetString()) : std::string();
}

bool Add(PluginKind kind, LONG id, const String& name, LONG info, const String& description, BaseBitmap* icon,
         const String& help, LONG disklevel, LONG priority, DataAllocator* alloc, BaseData* data) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  Record rec;
  rec.reg = Registration{kind,           id,           ToUtf8(name), info,     ToUtf8(description),
                         IconName(icon), ToUtf8(help), disklevel,    priority, true};
  rec.alloc = alloc;
  rec.data.reset(data);
  // A refused ID, or a second registration of a node type already known, is turned down.
  bool taken = false;
  if (kind != PluginKind::CustomGui) {
    for (const Record& other : r.records)
      if (other.reg.accepted && other.reg.kind == kind && other.reg.id == id) taken = true;
  }
  // A command or interface element without its object cannot be registered either.
  bool missing = (kind == PluginKind::Command || kind == PluginKind::CustomGui) && !data;
  rec.reg.accepted = !taken && !missing && r.refused.count(id) == 0;
  r.records.push_back(std::move(rec));
  return r.records.back().reg.accepted;
}

}  // namespace

const char* KindName(PluginKind kind) {
  switch (kind) {
    case PluginKind::Command: return "command";
    case PluginKind::Tag: return "tag";
    case PluginKind::Object: return "object";
    case PluginKind::Material: return "material";
    case PluginKind::Shader: return "shader";
    case PluginKind::VideoPost: return "videopost";
    case PluginKind::Library: return "library";
    case PluginKind::CustomGui: return "customgui";
  }
  return "unknown";
}

std::vector<Registration> Registrations() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::vector<Registration> out;
  for (const Record& rec : r.records) out.push_back(rec.reg);
  return out;
}

void RefuseRegistration(LONG id) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.refused.insert(id);
}

void ResetRegistry() {
  Registry& r = TheRegistry();
  std::vector<Record> old;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    old.swap(r.records);
    r.refused.clear();
  }
  // The plug-in's objects are freed outside the lock: their destructors are plug-in code.
  old.clear();
}

CommandData* FindCommand(LONG id) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (Record& rec : r.records)
    if (rec.reg.accepted && rec.reg.kind == PluginKind::Command && rec.reg.id == id)
      return static_cast<CommandData*>(rec.data.get());
  return nullptr;
}

std::vector<CustomGuiData*> CustomGuis() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::vector<CustomGuiData*> out;
  for (Record& rec : r.records)
    if (rec.reg.accepted && rec.reg.kind == PluginKind::CustomGui)
      out.push_back(static_cast<CustomGuiData*>(rec.data.get()));
  return out;
}

DataAllocator* FindAllocator(PluginKind kind, LONG id) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (const Record& rec : r.records)
    if (rec.reg.accepted && rec.reg.kind == kind && rec.reg.id == id) return rec.alloc;
  return nullptr;
}

std::string RegisteredName(PluginKind kind, LONG id) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (const Record& rec : r.records)
    if (rec.reg.accepted && rec.reg.kind == kind && rec.reg.id == id) return rec.reg.name;
  return "";
}

}  // namespace host

using host::PluginKind;

Bool RegisterCommandPlugin(LONG id, const String& name, LONG info, BaseBitmap* icon, const String& help,
                           CommandData* dat) {
  return host::Add(PluginKind::Command, id, name, info, String(), icon, help, 0, 0, nullptr, dat);
}

Bool RegisterTagPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                       const String& description, BaseBitmap* icon, LONG disklevel) {
  return host::Add(PluginKind::Tag, id, name, info, description, icon, String(), disklevel, 0, alloc,
                   nullptr);
}

Bool RegisterObjectPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                          const String& description, BaseBitmap* icon, LONG disklevel) {
  return host::Add(PluginKind::Object, id, name, info, description, icon, String(), disklevel, 0, alloc,
                   nullptr);
}

Bool RegisterMaterialPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                            const String& description, LONG disklevel) {
  return host::Add(PluginKind::Material, id, name, info, description, nullptr, String(), disklevel, 0, alloc,
                   nullptr);
}

Bool RegisterShaderPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                          const String& description, LONG disklevel) {
  return host::Add(PluginKind::Shader, id, name, info, description, nullptr, String(), disklevel, 0, alloc,
                   nullptr);
}

Bool RegisterVideoPostPlugin(LONG id, const String& name, LONG info, DataAllocator* alloc,
                             const String& description, LONG disklevel, LONG priority) {
  return host::Add(PluginKind::VideoPost, id, name, info, description, nullptr, String(), disklevel, priority,
                   alloc, nullptr);
}

Bool FillBaseCustomGui(BaseCustomGuiLib& lib) {
  lib.Alloc = [](void* self) { return self; };
  lib.Free = [](void*) {};
  return true;
}

Bool InstallLibrary(LONG id, C4DLibrary* lib, LONG version, LONG size) {
  if (!lib || size <= 0) return false;
  lib->version = version;
  lib->size = size;
  return host::Add(PluginKind::Library, id, String(), version, String(), nullptr, String(), 0, 0, nullptr,
                   nullptr);
}

Bool RegisterCustomGuiPlugin(const String& name, LONG info, CustomGuiData* dat) {
  return host::Add(PluginKind::CustomGui, 0, name, info, String(), nullptr, String(), 0, 0, nullptr, dat);
}

Bool CallCommand(LONG id) {
  CommandData* cmd = host::FindCommand(id);
  if (!cmd) return false;
  return cmd->Execute(GetActiveDocument());
}
