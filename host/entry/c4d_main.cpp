// The module's entry: the host drives the plug-in through c4d_main. Linked into the plug-in module.
#include "c4d_plugin.h"
#include "c4d_resource.h"

namespace {
LONG g_initCount = 0;
const C4DHostInfo* g_hostInfo = nullptr;
}  // namespace

const C4DHostInfo* GetHostInfo() { return g_hostInfo; }

extern "C" __attribute__((visibility("default"))) LONG c4d_main(LONG action, void* p1, void* p2, void* p3) {
  switch (action) {
    case C4DPL_INIT_SYS: {
      // Nested initialisations are only counted.
      if (g_initCount++ > 0) return 1;
      const C4DHostInfo* info = static_cast<const C4DHostInfo*>(p1);
      if (!info || info->version < C4D_API_VERSION || !p3) {
        g_initCount = 0;
        return C4DPL_ERROR_VERSION;
      }
      g_hostInfo = info;
      return 1;
    }
    case C4DPL_INIT: return PluginStart() ? 1 : 0;
    case C4DPL_END:
      // Only the last of nested ends ends the plug-in.
      if (g_initCount > 0 && --g_initCount == 0) {
        PluginEnd();
        resource.Free();
        g_hostInfo = nullptr;
      }
      return 1;
    case C4DPL_INIT_VERSION: return 5;
    case C4DPL_MESSAGE: return PluginMessage(static_cast<LONG>(reinterpret_cast<intptr_t>(p1)), p2) ? 1 : -1;
    default: return -1;
  }
}
