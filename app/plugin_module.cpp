#include "plugin_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

#include "c4d_plugin.h"
#include "files/folder.h"
#include "host_control.h"

namespace {
const C4DHostInfo kHostInfo;
}

PluginModule::~PluginModule() { End(); }

bool PluginModule::Start(const std::string& pluginDir, std::string* error) {
  path_ = pluginDir + "/corvaneR12.so";
  // The module loaded is the file the walk checked: another user's module, or one another user
  // could have swapped in, is never loaded.
  bool steady = false;
  if (const files::Result refused = files::OpenFile(path_, &module_, files::ReadPolicy::kProgram, &steady);
      !refused.ok()) {
    *error =
        "cannot load the plug-in module " + path_ + ": " + refused.Text() +
        (refused.error() == ENOENT ? " (build it first, or point --plugin-dir at the folder that holds it)"
                                   : "");
    return false;
  }
  // Where only trusted users can change what the path names it is loaded by that path, which the
  // loader resolves to the file checked (and names the module by it); else from its descriptor,
  // which only /proc reaches. That stays open while the module is loaded: a debugger or a
  // symbolizer, in a process of its own, reads the module by the name the loader was given.
  if (steady) ::close(std::exchange(module_, -1));
  const std::string opened = steady ? path_ : files::ProcDescriptorPath(module_);
  if (!steady && !files::Reaches(opened, module_)) {
    ::close(std::exchange(module_, -1));
    *error = "cannot load the plug-in module " + path_ +
             ": it is in a folder that others may change, and is then loaded only through /proc, which is "
             "not mounted";
    return false;
  }
  handle_ = dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    if (module_ >= 0) ::close(std::exchange(module_, -1));
    // The loader names the descriptor's path; the module's own path is said already.
    std::string why = dlerror();
    if (why.compare(0, opened.size() + 2, opened + ": ") == 0) why.erase(0, opened.size() + 2);
    *error = "cannot load the plug-in module " + path_ + ": " + why;
    return false;
  }
  entry_ = reinterpret_cast<Entry>(dlsym(handle_, "c4d_main"));
  if (!entry_) {
    *error = "the module " + path_ + " exports no c4d_main";
    End();
    return false;
  }
  if (entry_(C4DPL_INIT_SYS, const_cast<C4DHostInfo*>(&kHostInfo), nullptr,
             const_cast<char*>(path_.c_str())) != 1) {
    *error = "the plug-in " + path_ + " refused this host's interface version";
    End();
    return false;
  }
  initialised_ = true;
  if (entry_(C4DPL_MESSAGE, reinterpret_cast<void*>(static_cast<intptr_t>(C4DPL_INIT_RESOURCE)), nullptr,
             nullptr) != 1) {
    *error = "the plug-in could not load its resources from " + pluginDir + "/res";
    End();
    return false;
  }
  if (entry_(C4DPL_INIT, nullptr, nullptr, nullptr) != 1) {
    *error = "the plug-in failed to start (a registration was refused)";
    End();
    return false;
  }
  return true;
}

void PluginModule::BuildMenus() {
  if (entry_)
    entry_(C4DPL_MESSAGE, reinterpret_cast<void*>(static_cast<intptr_t>(C4DPL_BUILDMENU)), nullptr, nullptr);
}

void PluginModule::End() {
  if (entry_ && initialised_) entry_(C4DPL_END, nullptr, nullptr, nullptr);
  initialised_ = false;
  entry_ = nullptr;
  // The registry holds objects whose code lives in the module: free them before unloading it.
  host::ResetRegistry();
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
  if (module_ >= 0) ::close(std::exchange(module_, -1));
}
