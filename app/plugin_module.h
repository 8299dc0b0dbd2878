// Loads the plug-in module and drives it through its entry function, as the host does.
#pragma once

#include <string>

/// One loaded plug-in module.
class PluginModule {
 public:
  PluginModule() = default;
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  /// Loads "corvaneR12.so" from `pluginDir` (the file the walk of its path checked,
  /// `files::ReadPolicy::kProgram`: any failure of the walk loads nothing; by its path where that is
  /// steady, else through /proc as this process's descriptor of it, kept open while it is loaded),
  /// hands it the host's info and its own path, loads its resources and starts it. On failure
  /// `*error` says what went wrong and the module is unloaded.
  bool Start(const std::string& pluginDir, std::string* error);
  /// Sends the menu message, as the host does when it builds its menus.
  void BuildMenus();
  /// Ends the plug-in and unloads the module (also done by the destructor).
  void End();

 private:
  using Entry = int (*)(int, void*, void*, void*);
  void* handle_ = nullptr;
  Entry entry_ = nullptr;
  bool initialised_ = false;
  std::string path_;
  int module_ = -1;  ///< the module's descriptor, where it is loaded through /proc
};
