#pragma once
// The executable of the application behind a clip: the full path of a
// process's executable, found through one of the two enumeration facilities
// of the system (tool-help snapshots or the process-status functions), bound
// by name and chosen by the system's version. GUI thread only.
#include <string>

#include "pq/win.h"

namespace pq {

// 1 Win32s; 2, 3, 4 the 95 family (minor 0, 10, other); 6 NT 4; 7 a later NT
// with minor 0; 8 a later NT with another minor. Computed once; 0 (and
// computed again next time) when the version cannot be read.
int GetWindowsVersionCode();

// The full path of process `pid`'s executable, or an empty string when the
// process is unknown, may not be read, or the facility lacks a function.
// Binds the facility on first use.
std::wstring GetSourceApplication(DWORD pid);

// Forgets the version code and the bound facility and binds again (after the
// desktop's version or its libraries changed; tests).
void RebindProcessFunctions();

}  // namespace pq
