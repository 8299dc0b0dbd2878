// Resetting the whole host, and small services of the host side.
#include "host_control.h"

#include "c4d_basedocument.h"
#include "host_clock.h"
#include "host_prefs.h"
#include "host_record.h"
#include "host_state.h"
#include "host_user.h"
#include "text_codec.h"

namespace host {

std::string ToUtf8(const String& s) { return EncodeUtf8(s.Data()); }

void ResetAll() {
  SetActiveDocument(nullptr);
  ResetRegistry();
  ResetConsole();
  ResetStrings();
  ResetMenusState();
  user::Reset();
  SetClock(nullptr);
  SetDateTimeSource(nullptr);
  ClearInterfaceCalls();
  SetStartupWritePath("");
  SetPluginPath("");
  ResetWorldContainer();
}

}  // namespace host
