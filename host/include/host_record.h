// The host's record of the interface calls that leave no other trace: stopping its threads, the
// mouse pointer and the status bar. Nothing here is part of the plug-in interface.
#pragma once

#include <string>
#include <vector>

namespace host {

/// Every such call so far, in order, as its function name and its argument if any:
/// "StopAllThreads", "GeShowMouse 3", "SetMousePointer 2", "StatusSetSpin", "StatusSetBar 50",
/// "StatusSetText <text>", "StatusClear".
std::vector<std::string> InterfaceCalls();
/// Records a call (host use); `ShowBitmap` records "ShowBitmap <path>", `EventAdd` "EventAdd".
void NoteInterfaceCall(std::string call);
/// Forgets the recorded calls.
void ClearInterfaceCalls();

}  // namespace host
